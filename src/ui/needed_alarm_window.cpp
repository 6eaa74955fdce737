#include "ui/needed_alarm_window.h"

#include "alarms/needed_alarm.h"
#include "ui/layout_fonts.h"
#include "ui/twips.h"

#include <QLabel>

NeededAlarmWindow::NeededAlarmWindow(NeededAlarm &alarm)
    : PopupWindow(
          Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint, QStringLiteral("FormNeeded"),
          QStringLiteral("Needed"),
          QColor(128, 208, 255)), // sky blue: neither the call alarm's green nor the portable's orange
      m_alarm(alarm)
{
    setFont(layoutfonts::arialBlack18());
    setFixedSize(twips::size(7800, 2880));
    m_call = addLabel(QStringLiteral("LabelNeededCall"), QString(), 240, 240, 7440, 495);
    m_entity = addLabel(QStringLiteral("LabelNeededEntity"), QString(), 240, 840, 7440, 375);
    m_entity->setFont(layoutfonts::arialBold(12));
    m_reason = addLabel(QStringLiteral("LabelNeededReason"), QString(), 240, 1320, 7440, 495);
    m_qrg = addLabel(QStringLiteral("LabelNeededQrg"), QString(), 240, 2040, 2535, 495);
    setFrequencyLabels(
        m_qrg, addLabel(QStringLiteral("LabelNeededKhz"), QStringLiteral("kHz"), 3000, 2040, 1215, 495));

    connect(&m_alarm, &NeededAlarm::alarmShown, this, &NeededAlarmWindow::present);
    connect(&m_alarm, &NeededAlarm::alarmHidden, this, &QWidget::hide);
    if (m_alarm.isShown())
        present();
}

QString NeededAlarmWindow::callText() const
{
    return m_call->text();
}
QString NeededAlarmWindow::entityText() const
{
    return m_entity->text();
}
QString NeededAlarmWindow::reasonText() const
{
    return m_reason->text();
}
QString NeededAlarmWindow::qrgText() const
{
    return m_qrg->text();
}

void NeededAlarmWindow::present()
{
    const NeededAlarm::Captions &captions = m_alarm.captions();
    m_call->setText(captions.call);
    m_entity->setText(captions.entity);
    m_reason->setText(NeededAlarm::reasonText(captions.reason) + u' ' + captions.band);
    m_qrg->setText(captions.qrg);
    showOnTop();
}

void NeededAlarmWindow::closedByOperator()
{
    m_alarm.hide();
}
