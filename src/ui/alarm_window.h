#pragma once

#include "alarms/alarm_notifier.h"

#include <QWidget>

class CountryLoader;
class QLabel;

// FormAlarm ("Found known OM", green) and FormPAlarm ("Portable-Alarm", orange): views of the
// notifier's alarm state. They float above every window and never take the keyboard focus, so an
// operator typing in another program keeps typing there.
class AlarmWindow final : public QWidget {
    Q_OBJECT
public:
    AlarmWindow(AlarmNotifier &notifier, AlarmNotifier::Kind kind, QWidget *parent = nullptr);

    AlarmNotifier::Kind kind() const { return m_kind; }
    QString callText() const;
    QString alarmText() const; // empty for the portable alarm
    QString qrgText() const;
    QString entityText() const; // the call's entity, small; empty without a country file
    QLabel &qrgLabel() const { return *m_qrg; }

    // With a radio set, a click on the frequency asks to tune to it.
    void setTunable(bool tunable);
    // Names the call's entity from this country file from the next alarm on.
    void setCountries(CountryLoader &countries) { m_countries = &countries; }

signals:
    void tuneRequested(const QString &qrg);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *addLabel(const QString &name, const QString &text, int left, int top, int width, int height);
    void render();
    void present();

    AlarmNotifier &m_notifier;
    AlarmNotifier::Kind m_kind;
    QLabel *m_call = nullptr;
    QLabel *m_text = nullptr; // call alarm only
    QLabel *m_qrg = nullptr;
    QLabel *m_khz = nullptr;
    QLabel *m_entity = nullptr;
    CountryLoader *m_countries = nullptr;
    bool m_tunable = false;
};
