#include "ui/alarm_window.h"

#include "country/country_loader.h"
#include "country/country_table.h"
#include "ui/layout_fonts.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>

namespace {

Qt::WindowFlags flagsFor(AlarmNotifier::Kind kind)
{
    const Qt::WindowFlags common = Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
    if (kind == AlarmNotifier::Kind::Portable)
        return Qt::Window | common;
    // A title but no control box and no maximise button; a tool window stays out of the task bar.
    return Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | common;
}

} // namespace

AlarmWindow::AlarmWindow(AlarmNotifier &notifier, AlarmNotifier::Kind kind, QWidget *parent)
    : QWidget(parent, flagsFor(kind)), m_notifier(notifier), m_kind(kind)
{
    const bool call = kind == AlarmNotifier::Kind::Call;
    setObjectName(call ? QStringLiteral("FormAlarm") : QStringLiteral("FormPAlarm"));
    setWindowTitle(call ? QStringLiteral("Found known OM") : QStringLiteral("Portable-Alarm"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, call ? QColor(0, 255, 0) : QColor(255, 128, 0));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(layoutfonts::arialBlack18());

    // The call labels reach to the window's right edge (nothing else is on their line), so a long
    // call such as "DL/TS0EST/P" is not cut off.
    if (call) {
        setFixedSize(twips::size(12120, 3060));
        m_call = addLabel(QStringLiteral("LabelFoundCall"), QStringLiteral("Call..."), 240, 360, 11640, 495);
        m_text =
            addLabel(QStringLiteral("LabelFoundTxt"), QStringLiteral("Found Text"), 240, 1080, 11535, 495);
        m_qrg = addLabel(QStringLiteral("LabelFoundQrg"), QStringLiteral("QRG"), 240, 1800, 2535, 495);
        m_khz = addLabel(QStringLiteral("LabelKhz"), QStringLiteral("kHz"), 3000, 1800, 1215, 495);
        // Beside the frequency, on its baseline: the line under the call holds the operator's own text.
        m_entity = addLabel(QStringLiteral("LabelEntity"), QString(), 4440, 1920, 7440, 375);
    } else {
        resize(twips::size(5145, 2190));
        m_call = addLabel(QStringLiteral("LabelFoundCall"), QStringLiteral("Call..."), 0, 0, 5145, 495);
        m_qrg = addLabel(QStringLiteral("LabelFoundQrg"), QStringLiteral("QRG"), 0, 1080, 2535, 495);
        m_khz = addLabel(QStringLiteral("LabelKhz"), QStringLiteral("kHz"), 2760, 1080, 1215, 495);
        m_entity = addLabel(QStringLiteral("LabelEntity"), QString(), 0, 600, 5145, 375);
    }
    m_entity->setFont(layoutfonts::arialBold(12));

    m_qrg->installEventFilter(this);
    m_khz->installEventFilter(this);

    if (call) {
        connect(&m_notifier, &AlarmNotifier::callAlarmShown, this, [this] { present(); });
    } else {
        connect(&m_notifier, &AlarmNotifier::portableAlarmShown, this, [this] { present(); });
    }
    connect(&m_notifier, &AlarmNotifier::alarmHidden, this, [this](AlarmNotifier::Kind hidden) {
        if (hidden == m_kind)
            hide();
    });
    if (m_notifier.isShown(m_kind))
        present();
}

QLabel *AlarmWindow::addLabel(const QString &name, const QString &text, int left, int top, int width,
                              int height)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    twips::place(*label, left, top, width, height);
    return label;
}

QString AlarmWindow::callText() const
{
    return m_call->text();
}
QString AlarmWindow::alarmText() const
{
    return m_text ? m_text->text() : QString();
}
QString AlarmWindow::qrgText() const
{
    return m_qrg->text();
}
QString AlarmWindow::entityText() const
{
    return m_entity->text();
}

void AlarmWindow::render()
{
    const AlarmNotifier::Captions &captions = m_notifier.captions(m_kind);
    m_call->setText(captions.call);
    if (m_text)
        m_text->setText(captions.text);
    m_qrg->setText(captions.qrg);
    const CountryTable *table = m_countries ? m_countries->table() : nullptr;
    const std::optional<Resolved> resolved = table ? table->resolve(captions.call) : std::nullopt;
    m_entity->setText(resolved ? resolved->entity->name : QString());
}

void AlarmWindow::present()
{
    render();
    show();
    // Raising restacks the window without activating it; the focus stays where the operator is.
    raise();
}

void AlarmWindow::setTunable(bool tunable)
{
    m_tunable = tunable;
    for (QLabel *label : {m_qrg, m_khz}) {
        label->setCursor(tunable ? Qt::PointingHandCursor : Qt::ArrowCursor);
        label->setToolTip(tunable ? QStringLiteral("Click to tune the radio to this frequency") : QString());
    }
}

bool AlarmWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The window takes no focus, so the click leaves the keyboard where the operator was typing.
    if (m_tunable && (watched == m_qrg || watched == m_khz) && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit tuneRequested(m_qrg->text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void AlarmWindow::closeEvent(QCloseEvent *event)
{
    // Closed by the window's own box: the alarm is over, so the next one sounds again.
    event->accept();
    m_notifier.hide(m_kind);
}
