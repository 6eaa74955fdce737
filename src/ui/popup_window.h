#pragma once

#include <QWidget>

class QLabel;

// What the alarm pop-ups share: they float above every window and never take the keyboard focus, so an
// operator typing in another program keeps typing there; a click on the frequency can tune the radio.
class PopupWindow : public QWidget {
    Q_OBJECT
public:
    QLabel &qrgLabel() const { return *m_qrg; }

    // With a radio set, a click on the frequency asks to tune to it.
    void setTunable(bool tunable);

signals:
    void tuneRequested(const QString &qrg);

protected:
    PopupWindow(Qt::WindowFlags flags, const QString &name, const QString &title, const QColor &background);

    QLabel *addLabel(const QString &name, const QString &text, int left, int top, int width, int height);
    // The frequency and its unit, which answer a click.
    void setFrequencyLabels(QLabel *qrg, QLabel *khz);
    // Shows the window on top of the others without activating it; the focus stays where the operator is.
    void showOnTop();
    // Closed by the window's own box: the alarm is over, so the next one sounds again.
    virtual void closedByOperator() = 0;

    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_qrg = nullptr;
    QLabel *m_khz = nullptr;
    bool m_tunable = false;
};
