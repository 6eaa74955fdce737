#pragma once

#include "ui/popup_window.h"

class NeededAlarm;

// The "Needed" pop-up: a spotted station the operator's log still lacks (call, entity, band, "new one" or
// "new band", frequency). A view of the needed alarm's state.
class NeededAlarmWindow final : public PopupWindow {
    Q_OBJECT
public:
    explicit NeededAlarmWindow(NeededAlarm &alarm);

    QString callText() const;
    QString entityText() const;
    QString reasonText() const; // "new one 20m"
    QString qrgText() const;

protected:
    void closedByOperator() override;

private:
    void present();

    NeededAlarm &m_alarm;
    QLabel *m_call = nullptr;
    QLabel *m_entity = nullptr;
    QLabel *m_reason = nullptr;
    QLabel *m_qrg = nullptr;
};
