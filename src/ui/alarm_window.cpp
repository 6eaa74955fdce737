#include "ui/alarm_window.h"

#include "country/country_loader.h"
#include "country/country_table.h"
#include "ui/layout_fonts.h"
#include "ui/twips.h"

#include <QLabel>

namespace {

Qt::WindowFlags flagsFor(AlarmNotifier::Kind kind)
{
    if (kind == AlarmNotifier::Kind::Portable)
        return Qt::Window;
    // A title but no control box and no maximise button; a tool window stays out of the task bar.
    return Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
}

} // namespace

AlarmWindow::AlarmWindow(AlarmNotifier &notifier, AlarmNotifier::Kind kind)
    : PopupWindow(flagsFor(kind),
                  kind == AlarmNotifier::Kind::Call ? QStringLiteral("FormAlarm")
                                                    : QStringLiteral("FormPAlarm"),
                  kind == AlarmNotifier::Kind::Call ? QStringLiteral("Found known OM")
                                                    : QStringLiteral("Portable-Alarm"),
                  kind == AlarmNotifier::Kind::Call ? QColor(0, 255, 0) : QColor(255, 128, 0)),
      m_notifier(notifier), m_kind(kind)
{
    setFont(layoutfonts::arialBlack18());

    // The call labels reach to the window's right edge (nothing else is on their line), so a long
    // call such as "DL/TS0EST/P" is not cut off.
    QLabel *khz = nullptr;
    if (kind == AlarmNotifier::Kind::Call) {
        setFixedSize(twips::size(12120, 3060));
        m_call = addLabel(QStringLiteral("LabelFoundCall"), QStringLiteral("Call..."), 240, 360, 11640, 495);
        m_text =
            addLabel(QStringLiteral("LabelFoundTxt"), QStringLiteral("Found Text"), 240, 1080, 11535, 495);
        m_qrg = addLabel(QStringLiteral("LabelFoundQrg"), QStringLiteral("QRG"), 240, 1800, 2535, 495);
        khz = addLabel(QStringLiteral("LabelKhz"), QStringLiteral("kHz"), 3000, 1800, 1215, 495);
        // Beside the frequency, on its baseline: the line under the call holds the operator's own text.
        m_entity = addLabel(QStringLiteral("LabelEntity"), QString(), 4440, 1920, 7440, 375);
        connect(&m_notifier, &AlarmNotifier::callAlarmShown, this, [this] { present(); });
    } else {
        resize(twips::size(5145, 2190));
        m_call = addLabel(QStringLiteral("LabelFoundCall"), QStringLiteral("Call..."), 0, 0, 5145, 495);
        m_qrg = addLabel(QStringLiteral("LabelFoundQrg"), QStringLiteral("QRG"), 0, 1080, 2535, 495);
        khz = addLabel(QStringLiteral("LabelKhz"), QStringLiteral("kHz"), 2760, 1080, 1215, 495);
        m_entity = addLabel(QStringLiteral("LabelEntity"), QString(), 0, 600, 5145, 375);
        connect(&m_notifier, &AlarmNotifier::portableAlarmShown, this, [this] { present(); });
    }
    m_entity->setFont(layoutfonts::arialBold(12));
    setFrequencyLabels(m_qrg, khz);

    connect(&m_notifier, &AlarmNotifier::alarmHidden, this, [this](AlarmNotifier::Kind hidden) {
        if (hidden == m_kind)
            hide();
    });
    if (m_notifier.isShown(m_kind))
        present();
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

void AlarmWindow::present()
{
    const AlarmNotifier::Captions &captions = m_notifier.captions(m_kind);
    m_call->setText(captions.call);
    if (m_text)
        m_text->setText(captions.text);
    m_qrg->setText(captions.qrg);
    const CountryTable *table = m_countries ? m_countries->table() : nullptr;
    const std::optional<Resolved> resolved = table ? table->resolve(captions.call) : std::nullopt;
    m_entity->setText(resolved ? resolved->entity->name : QString());
    showOnTop();
}

void AlarmWindow::closedByOperator()
{
    m_notifier.hide(m_kind);
}
