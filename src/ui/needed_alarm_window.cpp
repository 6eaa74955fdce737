#include "ui/needed_alarm_window.h"

#include "alarms/needed_alarm.h"
#include "ui/layout_fonts.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>

NeededAlarmWindow::NeededAlarmWindow(NeededAlarm &alarm, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      m_alarm(alarm)
{
    setObjectName(QStringLiteral("FormNeeded"));
    setWindowTitle(QStringLiteral("Needed"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    // Sky blue: neither the call alarm's green nor the portable alarm's orange.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 208, 255));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    const QFont big = layoutfonts::arialBlack18();
    setFixedSize(twips::size(7800, 2880));
    m_call = addLabel(QStringLiteral("LabelNeededCall"), big, 240, 240, 7440, 495);
    m_entity = addLabel(QStringLiteral("LabelNeededEntity"), layoutfonts::arialBold(12), 240, 840, 7440, 375);
    m_reason = addLabel(QStringLiteral("LabelNeededReason"), big, 240, 1320, 7440, 495);
    m_qrg = addLabel(QStringLiteral("LabelNeededQrg"), big, 240, 2040, 2535, 495);
    m_khz = addLabel(QStringLiteral("LabelNeededKhz"), big, 3000, 2040, 1215, 495);
    m_khz->setText(QStringLiteral("kHz"));
    m_qrg->installEventFilter(this);
    m_khz->installEventFilter(this);

    connect(&m_alarm, &NeededAlarm::alarmShown, this, &NeededAlarmWindow::present);
    connect(&m_alarm, &NeededAlarm::alarmHidden, this, &QWidget::hide);
    if (m_alarm.isShown())
        present();
}

QLabel *NeededAlarmWindow::addLabel(const QString &name, const QFont &font, int left, int top, int width,
                                    int height)
{
    auto *label = new QLabel(this);
    label->setObjectName(name);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    twips::place(*label, left, top, width, height);
    return label;
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
    show();
    // Raising restacks the window without activating it; the focus stays where the operator is.
    raise();
}

void NeededAlarmWindow::setTunable(bool tunable)
{
    m_tunable = tunable;
    for (QLabel *label : {m_qrg, m_khz}) {
        label->setCursor(tunable ? Qt::PointingHandCursor : Qt::ArrowCursor);
        label->setToolTip(tunable ? QStringLiteral("Click to tune the radio to this frequency") : QString());
    }
}

bool NeededAlarmWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_tunable && (watched == m_qrg || watched == m_khz) && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit tuneRequested(m_qrg->text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void NeededAlarmWindow::closeEvent(QCloseEvent *event)
{
    // Closed by the window's own box: the alarm is over, so the next one sounds again.
    event->accept();
    m_alarm.hide();
}
