#pragma once

#include "alarms/alarm_notifier.h"
#include "ui/popup_window.h"

class CountryLoader;

// FormAlarm ("Found known OM", green) and FormPAlarm ("Portable-Alarm", orange): views of the
// notifier's alarm state.
class AlarmWindow final : public PopupWindow {
    Q_OBJECT
public:
    AlarmWindow(AlarmNotifier &notifier, AlarmNotifier::Kind kind);

    AlarmNotifier::Kind kind() const { return m_kind; }
    QString callText() const;
    QString alarmText() const; // empty for the portable alarm
    QString qrgText() const;
    QString entityText() const; // the call's entity, small; empty without a country file

    // Names the call's entity from this country file from the next alarm on.
    void setCountries(CountryLoader &countries) { m_countries = &countries; }

protected:
    void closedByOperator() override;

private:
    void present();

    AlarmNotifier &m_notifier;
    AlarmNotifier::Kind m_kind;
    QLabel *m_call = nullptr;
    QLabel *m_text = nullptr; // call alarm only
    QLabel *m_qrg = nullptr;
    QLabel *m_entity = nullptr;
    CountryLoader *m_countries = nullptr;
};
