#include "ui/main_window.h"

#include "alarms/feed_watch.h"
#include "app/app_core.h"
#include "model/number_text.h"
#include "model/settings.h"
#include "rig/rig_control.h"
#include "spots/message_log.h"
#include "spots/spot_parser.h"
#include "ui/activity_window.h"
#include "ui/alarm_window.h"
#include "ui/config_dialog.h"
#include "ui/info_window.h"
#include "ui/layout_fonts.h"
#include "ui/needed_alarm_window.h"
#include "ui/portable_table_window.h"
#include "ui/switch_binding.h"
#include "ui/twips.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

namespace {

using S = Settings::Switch;

struct SwitchBox {
    const char16_t *name;
    const char16_t *caption;
    twips::Rect at;
    Settings::Switch which;
};

// Both columns, in the order of the tab chain within each column.
constexpr std::array<SwitchBox, 28> kSwitchBoxes{{
    {u"CheckShowDx", u"show all", twips::Rect{7320, 720, 975, 495}, S::DxMsgAll},
    {u"Check160En", u"160m", twips::Rect{7320, 1080, 855, 495}, S::DxEnable160},
    {u"Check80En", u"80m", twips::Rect{7320, 1440, 855, 495}, S::DxEnable80},
    {u"Check60En", u"60m", twips::Rect{7320, 1800, 855, 495}, S::DxEnable60},
    {u"Check40En", u"40m", twips::Rect{7320, 2160, 855, 495}, S::DxEnable40},
    {u"Check30En", u"30m", twips::Rect{7320, 2520, 855, 495}, S::DxEnable30},
    {u"Check20En", u"20m", twips::Rect{7320, 2880, 855, 495}, S::DxEnable20},
    {u"Check17En", u"17m", twips::Rect{7320, 3240, 855, 495}, S::DxEnable17},
    {u"Check15En", u"15m", twips::Rect{7320, 3600, 975, 495}, S::DxEnable15},
    {u"Check12En", u"12m", twips::Rect{7320, 3960, 855, 495}, S::DxEnable12},
    {u"Check10En", u"10m", twips::Rect{7320, 4440, 855, 375}, S::DxEnable10},
    {u"CheckQrqEn", u"QRQ", twips::Rect{8520, 1200, 855, 375}, S::QrqMsg},
    {u"CheckPortableEnable", u"/P", twips::Rect{8520, 1560, 855, 375}, S::PortMsg},
    {u"CheckAlarmOn", u"enable all bands", twips::Rect{11040, 720, 1575, 495}, S::AlAll},
    {u"CheckAlEn160", u"160m", twips::Rect{11040, 1080, 1095, 495}, S::AlEnable160},
    {u"CheckAlEn80", u"80m", twips::Rect{11040, 1440, 1095, 495}, S::AlEnable80},
    {u"CheckAlEn60", u"60m", twips::Rect{11040, 1800, 1095, 495}, S::AlEnable60},
    {u"CheckAlEn40", u"40m", twips::Rect{11040, 2160, 1095, 495}, S::AlEnable40},
    {u"CheckAlEn30", u"30m", twips::Rect{11040, 2520, 975, 495}, S::AlEnable30},
    {u"CheckAlEn20", u"20m", twips::Rect{11040, 2880, 855, 495}, S::AlEnable20},
    {u"CheckAlEn17", u"17m", twips::Rect{11040, 3240, 855, 495}, S::AlEnable17},
    {u"CheckAlEn15", u"15m", twips::Rect{11040, 3600, 975, 495}, S::AlEnable15},
    {u"CheckAlEn12", u"12m", twips::Rect{11040, 3960, 855, 495}, S::AlEnable12},
    {u"CheckAlEn10", u"10m", twips::Rect{11040, 4320, 855, 495}, S::AlEnable10},
    {u"CheckAlEnOp", u"OP-List", twips::Rect{9720, 1200, 855, 375}, S::OpAl},
    {u"CheckAlEnPortable", u"/P", twips::Rect{9720, 1560, 855, 375}, S::PortAl},
    {u"CheckAlEnNeeded", u"Needed", twips::Rect{9720, 1920, 975, 375}, S::Needed},
    {u"CheckSoundOn", u"Sound", twips::Rect{9720, 3480, 975, 495}, S::SoundEn},
}};

// The separator lines, from point to point in twips.
struct Line {
    int x1, y1, x2, y2;
};
constexpr std::array<Line, 7> kLines{{
    {7320, 360, 12240, 360},
    {9600, 360, 9600, 6120},
    {8400, 720, 8400, 4560},
    {10920, 720, 10920, 4800},
    {9720, 2760, 10680, 2760},
    {7440, 6120, 9600, 6120},
    {9600, 6120, 12240, 6120},
}};

// Focus moves through the controls in this order.
constexpr std::array<const char16_t *, 37> kTabOrder{
    u"ButtonEnde",    u"txtOutput",      u"CheckShowDx",       u"ButtonInfo",          u"ButtonConfig",
    u"CheckAlarmOn",  u"ButtonActivity", u"Check160En",        u"Check80En",           u"Check40En",
    u"Check30En",     u"Check20En",      u"Check15En",         u"Check12En",           u"Check10En",
    u"Check17En",     u"CheckSoundOn",   u"CheckAlEn160",      u"CheckAlEn80",         u"CheckAlEn40",
    u"CheckAlEn30",   u"CheckAlEn20",    u"CheckAlEn17",       u"CheckAlEn15",         u"CheckAlEn12",
    u"CheckAlEn10",   u"CheckQrqEn",     u"TxtSpeedMsg",       u"CheckPortableEnable", u"CheckAlEnPortable",
    u"ButtonSpMsgUp", u"ButtonSpMsgDn",  u"ButtonPAlarmTable", u"CheckAlEnOp",         u"CheckAlEnNeeded",
    u"CheckAlEn60",   u"Check60En",
};

QString name(const char16_t *text)
{
    return QString::fromUtf16(text);
}

// Brings a window up: shown, restored, in front and active.
void present(QWidget &window)
{
    if (window.isMinimized())
        window.showNormal();
    else
        window.show();
    window.raise();
    window.activateWindow();
}

QString displayText(const MessageLog &log)
{
    QString text = log.text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace

MainWindow::MainWindow(AppCore &core, MessageSink &messages, QWidget *parent)
    : QWidget(parent), m_core(core), m_messages(messages)
{
    setObjectName(QStringLiteral("FormStart"));
    setWindowTitle(AppCore::kCaption);
    setFixedSize(twips::size(12645, 8730));
    setFont(layoutfonts::msSansSerif());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 192));
    setPalette(pal);
    setAutoFillBackground(true);

    buildMessageColumn();
    buildSwitchColumns();
    buildThreshold();
    buildButtons();
    setTabOrder();

    m_callAlarm = std::make_unique<AlarmWindow>(m_core.notifier(), AlarmNotifier::Kind::Call);
    m_portableAlarm = std::make_unique<AlarmWindow>(m_core.notifier(), AlarmNotifier::Kind::Portable);
    for (AlarmWindow *alarm : {m_callAlarm.get(), m_portableAlarm.get()}) {
        connect(alarm, &AlarmWindow::tuneRequested, &m_core.rig(), &RigControl::tune);
        alarm->setCountries(m_core.countries());
    }
    m_neededAlarm = std::make_unique<NeededAlarmWindow>(m_core.neededAlarm());
    connect(m_neededAlarm.get(), &NeededAlarmWindow::tuneRequested, &m_core.rig(), &RigControl::tune);
    connect(&m_core.settings(), &Settings::textChanged, this, [this](Settings::Text which) {
        if (which == Settings::Text::RigModel || which == Settings::Text::RigPath ||
            which == Settings::Text::RigSpeed)
            updateTunable();
    });
    updateTunable();
}

void MainWindow::updateTunable()
{
    const bool tunable = m_core.rig().isSet();
    m_callAlarm->setTunable(tunable);
    m_portableAlarm->setTunable(tunable);
    m_neededAlarm->setTunable(tunable);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A double-click on a spot line in the message window tunes the radio to that spot.
    if (watched == m_output->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        m_core.rig().isSet()) {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        if (const auto spot = parseSpot(m_output->cursorForPosition(at).block().text()))
            m_core.rig().tune(spot->qrg);
    }
    return QWidget::eventFilter(watched, event);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMessageColumn()
{
    m_output = new QPlainTextEdit(this);
    m_output->setObjectName(QStringLiteral("txtOutput"));
    twips::place(*m_output, 0, 120, 6975, 7935);
    // Spot lines are Latin text and need no shaping; skipping it makes a refresh about 40 % cheaper.
    QFont outputFont = layoutfonts::arialBold();
    outputFont.setStyleStrategy(QFont::PreferNoShaping);
    m_output->setFont(outputFont);
    m_output->setReadOnly(true);
    m_output->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_output->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_output->setPlainText(displayText(m_core.messageLog()));
    m_output->viewport()->installEventFilter(this);

    // A burst of spots becomes one repaint; what is shown in the end is exactly the log's text. The repaint
    // waits for the rest of the interval since the last one: none at all after a quiet spell, so a single
    // spot shows as soon as its arrival is read.
    m_outputTimer.setSingleShot(true);
    connect(&m_outputTimer, &QTimer::timeout, this, &MainWindow::refreshOutput);
    const auto markDirty = [this] {
        if (m_outputTimer.isActive())
            return;
        const qint64 since =
            m_sinceOutputRefresh.isValid() ? m_sinceOutputRefresh.elapsed() : kOutputRefreshMs;
        m_outputTimer.start(static_cast<int>(std::max<qint64>(0, kOutputRefreshMs - since)));
    };
    const auto markRestarted = [this, markDirty] {
        m_outputRestarted = true;
        markDirty();
    };
    const MessageLog &log = m_core.messageLog();
    connect(&log, &MessageLog::lineAppended, this, markDirty);
    connect(&log, &MessageLog::restarted, this, markRestarted);
    connect(&log, &MessageLog::cleared, this, markRestarted);
    m_outputLines = log.lineCount();

    auto *statusCaption = new QLabel(QStringLiteral("Status:"), this);
    statusCaption->setObjectName(QStringLiteral("Label1"));
    statusCaption->setFont(layoutfonts::arialBold());
    twips::place(*statusCaption, 7320, 120, 615, 255);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LabelStatus"));
    m_status->setFont(layoutfonts::arial());
    m_status->setTextFormat(Qt::PlainText);
    twips::place(*m_status, 7920, 120, 4695, 255);
    showStatus(m_core.statusText());
    connect(&m_core, &AppCore::statusChanged, this, [this](const QString &text) {
        if (!m_noticeTimer.isActive())
            showStatus(text);
    });
    // A notice is not pushed away by the next status at once; then the current status is back.
    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(kNoticeMs);
    connect(&m_noticeTimer, &QTimer::timeout, this, [this] { showStatus(m_core.statusText()); });
    connect(&m_core, &AppCore::noticeShown, this, [this](const QString &text) {
        showStatus(text);
        m_noticeTimer.start();
    });
    // A server back before the back-off ends need not be waited for.
    auto *reconnect = new QAction(QStringLiteral("Reconnect now"), m_status);
    reconnect->setObjectName(QStringLiteral("ActionReconnectNow"));
    connect(reconnect, &QAction::triggered, &m_core, &AppCore::reconnectNow);
    m_status->addAction(reconnect);
    m_status->setContextMenuPolicy(Qt::ActionsContextMenu);
    // A feed that has been down for a minute is an alarm too: the status line turns red until it is back.
    connect(&m_core.feedWatch(), &FeedWatch::feedDownChanged, this, [this](bool down) {
        m_status->setStyleSheet(down ? QStringLiteral("QLabel { color: rgb(208, 0, 0); font-weight: bold; }")
                                     : QString());
    });
}

void MainWindow::showStatus(const QString &text)
{
    // One line fits above the separator: a long reason is shortened there and shown whole as a tip.
    m_status->setToolTip(text);
    m_status->setText(m_status->fontMetrics().elidedText(text, Qt::ElideRight, m_status->width()));
}

void MainWindow::refreshOutput()
{
    m_sinceOutputRefresh.start();
    const MessageLog &log = m_core.messageLog();
    const int lineCount = log.lineCount();
    QTextDocument &document = *m_output->document();
    QTextBlock firstNew;
    if (!m_outputRestarted && m_outputLines <= lineCount) {
        // Lines were only added: they go to the end, and the lines already shown keep their layout.
        QString added;
        for (int i = m_outputLines; i < lineCount; ++i) {
            added += log.line(i);
            added += u'\n';
        }
        QTextCursor end(&document);
        end.movePosition(QTextCursor::End);
        firstNew = end.block();
        end.insertText(added);
    } else {
        m_output->setPlainText(displayText(log));
        firstNew = document.firstBlock();
    }
    m_outputRestarted = false;
    m_outputLines = lineCount;
    // Each line is shaped once and then drawn from its cached glyphs at every repaint.
    for (QTextBlock block = firstNew; block.isValid(); block = block.next())
        block.layout()->setCacheEnabled(true);
}

void MainWindow::buildSwitchColumns()
{
    auto *dxHeading = new QLabel(QStringLiteral("DX-Msg"), this);
    dxHeading->setObjectName(QStringLiteral("Label3"));
    dxHeading->setFont(layoutfonts::arialBold());
    twips::place(*dxHeading, 7320, 480, 735, 255);
    auto *alarmHeading = new QLabel(QStringLiteral("Alarm"), this);
    alarmHeading->setObjectName(QStringLiteral("Label2"));
    alarmHeading->setFont(layoutfonts::arialBold());
    twips::place(*alarmHeading, 9840, 480, 735, 255);

    for (const SwitchBox &layout : kSwitchBoxes) {
        auto *box = new QCheckBox(name(layout.caption), this);
        box->setObjectName(name(layout.name));
        box->setFont(layoutfonts::arial());
        twips::place(*box, layout.at);
        bindSwitch(*box, m_core.settings(), layout.which);
    }
}

void MainWindow::buildThreshold()
{
    auto *caption = new QLabel(QStringLiteral("QRQ Speed-Threshold / WPM"), this);
    caption->setObjectName(QStringLiteral("Label4"));
    caption->setFont(layoutfonts::arial());
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    twips::place(*caption, 7200, 5160, 2295, 255);

    Settings &settings = m_core.settings();
    m_speed = new QLineEdit(settings.qrqSpeed(), this);
    m_speed->setObjectName(QStringLiteral("TxtSpeedMsg"));
    m_speed->setFont(layoutfonts::msSansSerif(12));
    m_speed->setReadOnly(true); // changed only with the two buttons
    twips::place(*m_speed, 7440, 5400, 615, 525);
    connect(&settings, &Settings::textChanged, m_speed, [this](Settings::Text which, const QString &value) {
        if (which == Settings::Text::QrqSpeed)
            m_speed->setText(value);
    });

    m_speedUp = new QPushButton(QStringLiteral("+"), this);
    m_speedUp->setObjectName(QStringLiteral("ButtonSpMsgUp"));
    twips::place(*m_speedUp, 8040, 5400, 375, 255);
    connect(m_speedUp, &QPushButton::clicked, this, [this] {
        m_core.settings().setText(Settings::Text::QrqSpeed, thresholdUp(m_core.settings().qrqSpeed()));
    });
    m_speedDown = new QPushButton(QStringLiteral("-"), this);
    m_speedDown->setObjectName(QStringLiteral("ButtonSpMsgDn"));
    twips::place(*m_speedDown, 8040, 5640, 375, 255);
    connect(m_speedDown, &QPushButton::clicked, this, [this] {
        m_core.settings().setText(Settings::Text::QrqSpeed, thresholdDown(m_core.settings().qrqSpeed()));
    });

    connect(&settings, &Settings::switchChanged, this, [this](Settings::Switch which) {
        if (which == Settings::Switch::QrqMsg)
            updateQrqControls();
    });
    updateQrqControls();
}

void MainWindow::updateQrqControls()
{
    const bool on = m_core.settings().isOn(Settings::Switch::QrqMsg);
    m_speed->setEnabled(on);
    m_speedUp->setEnabled(on);
    m_speedDown->setEnabled(on);
}

namespace {
std::optional<long long> thresholdValue(const QString &threshold)
{
    return parseWholeNumberIn(threshold, -32768, 32767);
}
} // namespace

QString MainWindow::thresholdUp(const QString &threshold)
{
    const auto n = thresholdValue(threshold);
    if (!n)
        return kDefaultThreshold;
    return *n < kMaxThreshold ? QString::number(*n + 1) : threshold;
}

QString MainWindow::thresholdDown(const QString &threshold)
{
    const auto n = thresholdValue(threshold);
    if (!n)
        return kDefaultThreshold;
    return *n > kMinThreshold ? QString::number(*n - 1) : threshold;
}

void MainWindow::buildButtons()
{
    struct ButtonSpec {
        const char16_t *name;
        const char16_t *caption;
        int left, top;
        void (MainWindow::*action)();
    };
    const std::array<ButtonSpec, 5> buttons{{
        {u"ButtonActivity", u"Alarm Table", 7200, 6360, &MainWindow::showActivityTable},
        {u"ButtonConfig", u"Config", 9120, 6360, &MainWindow::showConfig},
        {u"ButtonInfo", u"Info", 11040, 6360, &MainWindow::showInfo},
        {u"ButtonPAlarmTable", u"/P-Table", 7200, 7080, &MainWindow::showPortableTable},
        {u"ButtonEnde", u"Quit", 11040, 7800, &MainWindow::requestExit},
    }};
    for (const ButtonSpec &layout : buttons) {
        auto *button = new QPushButton(name(layout.caption), this);
        button->setObjectName(name(layout.name));
        twips::place(*button, layout.left, layout.top, 1215, 495);
        connect(button, &QPushButton::clicked, this, layout.action);
    }
}

void MainWindow::setTabOrder()
{
    QWidget *previous = nullptr;
    for (const char16_t *controlName : kTabOrder) {
        auto *control = findChild<QWidget *>(name(controlName), Qt::FindDirectChildrenOnly);
        if (!control)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    for (const Line &line : kLines)
        painter.drawLine(twips::point(line.x1, line.y1), twips::point(line.x2, line.y2));

    // The start-up benchmark (bench/startup.sh) times exec to the first picture on screen: with this
    // variable set the program ends right after that picture is handed to the window system.
    static const bool exitWhenShown = qEnvironmentVariableIsSet("VEMROK_EXIT_WHEN_SHOWN");
    if (exitWhenShown)
        QTimer::singleShot(0, [] { std::_Exit(0); });
}

AlarmWindow &MainWindow::alarmWindow(AlarmNotifier::Kind kind) const
{
    return kind == AlarmNotifier::Kind::Call ? *m_callAlarm : *m_portableAlarm;
}

void MainWindow::showActivityTable()
{
    if (!m_activity) {
        m_activity = std::make_unique<ActivityWindow>(m_core);
        connect(m_activity.get(), &ActivityWindow::configRequested, this, &MainWindow::showConfig);
    }
    present(*m_activity);
}

void MainWindow::showConfig()
{
    if (!m_config)
        m_config = std::make_unique<ConfigDialog>(m_core, m_messages);
    m_config->open();
}

void MainWindow::showInfo()
{
    if (!m_info)
        m_info = std::make_unique<InfoWindow>();
    present(*m_info);
}

void MainWindow::showPortableTable()
{
    if (!m_portableTable)
        m_portableTable = std::make_unique<PortableTableWindow>(m_core.portableModel(), m_core.rig());
    present(*m_portableTable);
}

void MainWindow::requestExit()
{
    if (m_finished)
        return;
    storeOpenConfig();
    const bool saved = m_core.exitSequence();
    if (!saved && !m_exitFailedOnce) {
        m_exitFailedOnce = true;
        m_core.resumeAfterFailedExit();
        return;
    }
    finish();
}

void MainWindow::endSession()
{
    if (m_finished)
        return;
    storeOpenConfig();
    m_core.exitSequence();
    finish();
}

void MainWindow::storeOpenConfig()
{
    // What is typed in an open Config dialog is kept, as its close box keeps it.
    if (m_config && m_config->isVisible())
        m_config->close();
}

void MainWindow::finish()
{
    m_finished = true;
    emit finished();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    requestExit();
    event->setAccepted(m_finished);
}
