#pragma once

#include <QWidget>

class NeededAlarm;
class QLabel;

// The "Needed" pop-up: a spotted station the operator's log still lacks (call, entity, band, "new one" or
// "new band", frequency). A view of the needed alarm's state; like the other two pop-ups it floats above
// every window and never takes the keyboard focus.
class NeededAlarmWindow final : public QWidget {
    Q_OBJECT
public:
    explicit NeededAlarmWindow(NeededAlarm &alarm, QWidget *parent = nullptr);

    QString callText() const;
    QString entityText() const;
    QString reasonText() const; // "new one 20m"
    QString qrgText() const;
    QLabel &qrgLabel() const { return *m_qrg; }

    // With a radio set, a click on the frequency asks to tune to it.
    void setTunable(bool tunable);

signals:
    void tuneRequested(const QString &qrg);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *addLabel(const QString &name, const QFont &font, int left, int top, int width, int height);
    void present();

    NeededAlarm &m_alarm;
    QLabel *m_call = nullptr;
    QLabel *m_entity = nullptr;
    QLabel *m_reason = nullptr;
    QLabel *m_qrg = nullptr;
    QLabel *m_khz = nullptr;
    bool m_tunable = false;
};
