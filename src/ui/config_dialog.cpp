#include "ui/config_dialog.h"

#include "app/app_core.h"
#include "app/message_sink.h"
#include "model/alarm_list.h"
#include "model/number_text.h"
#include "model/settings.h"
#include "ui/block_time_validator.h"
#include "ui/capitals_binding.h"
#include "ui/config_section.h"
#include "ui/layout_fonts.h"
#include "ui/log_section.h"
#include "ui/notifications_section.h"
#include "ui/qt_sound_player.h"
#include "ui/rig_section.h"
#include "ui/spotter_continent_box.h"
#include "ui/switch_binding.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>

#include <algorithm>
#include <array>

namespace {

// A one-pixel line drawn across the dialog.
class Separator final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawLine(0, 0, width() - 1, 0);
    }
};

QString name(const char16_t *text)
{
    return QString::fromUtf16(text);
}

// The first further section fills the free corner beside the file list; later ones stack in a column
// at the right, and the dialog grows to hold them.
constexpr int kCornerLeft = 5280;
constexpr int kCornerTop = 5280;
constexpr int kDialogWidth = 10425;
constexpr int kDialogHeight = 9210;
constexpr int kGap = 120;

} // namespace

ConfigDialog::ConfigDialog(AppCore &core, MessageSink &messages, QWidget *parent)
    : QWidget(parent, Qt::Window), m_core(core), m_messages(messages)
{
    setObjectName(QStringLiteral("FormConfig"));
    setWindowTitle(QStringLiteral("Configuration"));
    setFont(layoutfonts::msSansSerif());
    setFixedSize(twips::size(kDialogWidth, kDialogHeight));
    buildControls();

    // Further groups of settings (ConfigSection subclasses), one line each: the first fills the corner
    // beside the file list, the others stack in a column at the right.
    addSection(new RigSection(m_core, this));
    addSection(new NotificationsSection(m_core, this));
    addSection(new LogSection(m_core.settings(), this));
    // Acts at once on every click, so it needs no storing: it sits in the free space below the call.
    twips::place(*new SpotterContinentBox(m_core.settings(), this), 120, 1560, 5400, 735);

    connect(&m_core.alarmList(), &AlarmList::structureChanged, this, &ConfigDialog::updateDeleteButton);
    updateDeleteButton();
}

template <typename W> W *ConfigDialog::control(const char16_t *controlName) const
{
    return findChild<W *>(name(controlName), Qt::FindDirectChildrenOnly);
}

void ConfigDialog::buildControls()
{
    enum class Kind { Label, Field, Button, BigButton, CheckBox, List, ScrollBar, Line };
    struct ControlSpec {
        Kind kind;
        const char16_t *name;
        const char16_t *text;
        twips::Rect at;
        void (ConfigDialog::*clicked)() = nullptr;
    };
    // In the order of the tab chain.
    const std::array<ControlSpec, 29> controls{{
        // The settings.
        {Kind::Label, u"LabelOwnCall", u"Own Call for RBN-Login", twips::Rect{120, 240, 2775, 495}},
        {Kind::Field, u"TxtOwnCall", u"", twips::Rect{1920, 120, 1695, 375}},
        {Kind::Label, u"LabelAlTime", u"Alarm-Time in sec", twips::Rect{120, 720, 2175, 255}},
        {Kind::Field, u"TxtAlTime", u"", twips::Rect{1920, 720, 615, 285}},
        {Kind::Label, u"LabelRmtHost", u"Remote Host", twips::Rect{4680, 240, 1095, 255}},
        {Kind::Field, u"TxtRmtHost", u"", twips::Rect{5760, 120, 4335, 375}},
        {Kind::Label, u"LabelRmtPort", u"Remote Port", twips::Rect{4680, 720, 1095, 255}},
        {Kind::Field, u"TxtRmtPort", u"", twips::Rect{5760, 600, 735, 375}},
        {Kind::CheckBox, u"CheckEnLogFile", u"write server data log", twips::Rect{8280, 600, 1935, 495}},
        {Kind::List, u"ListServer", u"", twips::Rect{5760, 1080, 3855, 1230}},
        {Kind::Label, u"Label1", u"after server change, restart program to activate",
         twips::Rect{5760, 2400, 4575, 255}},
        {Kind::Line, u"LineSeparator", u"", twips::Rect{120, 2760, 10080, 15}},
        // One alarm-list entry at a time.
        {Kind::Label, u"LabelAlarmNr", u"Alarm-Nr.", twips::Rect{120, 3480, 1215, 255}},
        {Kind::Label, u"LabelAlNr", u"", twips::Rect{1800, 3480, 1215, 255}},
        {Kind::ScrollBar, u"VScrollCsNr", u"", twips::Rect{3960, 2880, 375, 1215}},
        {Kind::BigButton, u"ButtonAddCall", u"+", twips::Rect{4560, 2880, 495, 495}, &ConfigDialog::addEntry},
        {Kind::BigButton, u"ButtonDelCall", u"-", twips::Rect{4560, 3600, 495, 495},
         &ConfigDialog::deleteEntry},
        {Kind::Label, u"LabelWildcards",
         u"\"*\" = any characters, \"?\" = one character (TS0EST* alarms for TS0EST/P too)",
         twips::Rect{5280, 3120, 4920, 735}},
        {Kind::Label, u"LableCall", u"Call", twips::Rect{120, 3960, 1215, 375}},
        {Kind::Field, u"TxtCall", u"", twips::Rect{1800, 3960, 1695, 285}},
        {Kind::Label, u"LabelCallTxt", u"Text", twips::Rect{120, 4440, 1215, 255}},
        {Kind::Field, u"TxtCallTxt", u"", twips::Rect{1800, 4440, 8175, 285}},
        {Kind::Label, u"LabelSoundFile", u"Sound", twips::Rect{120, 4920, 1215, 255}},
        {Kind::Field, u"TxtSoundFile", u"", twips::Rect{1800, 4920, 3255, 285}},
        {Kind::Label, u"LabelBlkTime", u"Blocking-Time in sec", twips::Rect{120, 5400, 2175, 255}},
        {Kind::Field, u"TxtBlkTime", u"", twips::Rect{1800, 5400, 615, 285}},
        {Kind::List, u"FileListe", u"", twips::Rect{1800, 5760, 3135, 3210}},
        {Kind::Button, u"ButtonTestSound", u"Test Sound", twips::Rect{5160, 8520, 1215, 495},
         &ConfigDialog::testSound},
        {Kind::Button, u"ButtonConfigQuit", u"Quit", twips::Rect{9000, 8520, 1215, 495}, &ConfigDialog::quit},
    }};
    const QFont bigBold = layoutfonts::msSansSerif(18, QFont::Bold);
    for (const ControlSpec &row : controls) {
        QWidget *widget = nullptr;
        switch (row.kind) {
        case Kind::Label: {
            auto *label = new QLabel(name(row.text), this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = label;
            break;
        }
        case Kind::Field:
            widget = new QLineEdit(this);
            break;
        case Kind::Button:
        case Kind::BigButton: {
            auto *button = new QPushButton(name(row.text), this);
            button->setAutoDefault(false);
            if (row.kind == Kind::BigButton)
                button->setFont(bigBold);
            connect(button, &QPushButton::clicked, this, row.clicked);
            widget = button;
            break;
        }
        case Kind::CheckBox:
            widget = new QCheckBox(name(row.text), this);
            break;
        case Kind::List:
            widget = new QListWidget(this);
            break;
        case Kind::ScrollBar:
            widget = new QScrollBar(Qt::Vertical, this);
            break;
        case Kind::Line:
            widget = new Separator(this);
            break;
        }
        widget->setObjectName(name(row.name));
        twips::place(*widget, row.at);
    }

    m_ownCall = control<QLineEdit>(u"TxtOwnCall");
    m_alTime = control<QLineEdit>(u"TxtAlTime");
    m_rmtHost = control<QLineEdit>(u"TxtRmtHost");
    m_rmtPort = control<QLineEdit>(u"TxtRmtPort");
    m_servers = control<QListWidget>(u"ListServer");
    m_alarmNr = control<QLabel>(u"LabelAlNr");
    m_scroll = control<QScrollBar>(u"VScrollCsNr");
    m_delete = control<QPushButton>(u"ButtonDelCall");
    m_call = control<QLineEdit>(u"TxtCall");
    m_callText = control<QLineEdit>(u"TxtCallTxt");
    m_soundFile = control<QLineEdit>(u"TxtSoundFile");
    m_blockTime = control<QLineEdit>(u"TxtBlkTime");
    m_files = control<QListWidget>(u"FileListe");
    m_testSound = control<QPushButton>(u"ButtonTestSound");

    bindCapitals(*m_ownCall);
    bindCapitals(*m_call);
    m_blockTime->setValidator(new BlockTimeValidator(m_blockTime));
    connect(m_alTime, &QLineEdit::textChanged, this, &ConfigDialog::checkAlarmTime);
    bindSwitch(*control<QCheckBox>(u"CheckEnLogFile"), m_core.settings(), Settings::Switch::LogFile);
    connect(m_servers, &QListWidget::itemDoubleClicked, this, &ConfigDialog::presetChosen);
    m_scroll->setPageStep(1);
    connect(m_scroll, &QScrollBar::valueChanged, this, &ConfigDialog::entryChanged);
    control<QPushButton>(u"ButtonAddCall")
        ->setToolTip(QStringLiteral("Add an entry at the end of the alarm list (at most %1)")
                         .arg(AlarmList::kCapacity));
    m_delete->setToolTip(QStringLiteral("Delete the shown entry"));
    control<QLabel>(u"LabelWildcards")->setWordWrap(true);
    m_soundFile->installEventFilter(this);
    m_files->hide();
    connect(m_files, &QListWidget::itemDoubleClicked, this, &ConfigDialog::fileChosen);
    m_testSound->hide();
}

void ConfigDialog::addSection(ConfigSection *section)
{
    section->adjustSize();
    if (m_sections.empty()) {
        section->move(twips::point(kCornerLeft, kCornerTop));
    } else {
        int top = twips::toPixels(kGap);
        for (std::size_t i = 1; i < m_sections.size(); ++i)
            top = std::max(top, m_sections[i]->geometry().bottom() + 1 + twips::toPixels(kGap));
        section->move(twips::toPixels(kDialogWidth), top);
        setFixedSize(std::max(width(), section->geometry().right() + 1 + twips::toPixels(kGap)),
                     std::max(height(), section->geometry().bottom() + 1 + twips::toPixels(kGap)));
    }
    m_sections.push_back(section);
}

QStringList ConfigDialog::serverPresets()
{
    return {Settings::kDefaultHost + QStringLiteral(" Port ") + Settings::kDefaultPort,
            QStringLiteral("dxfun.com Port 8000"), QStringLiteral("rbn.telegraphy.de Port 7000"),
            QStringLiteral("relay1.reversebeacon.net Port 7000")};
}

void ConfigDialog::open()
{
    if (isVisible()) {
        // Asked for again (Config, or a double-click in the Alarm Table): what was typed is kept first.
        store();
        refill();
    } else {
        show(); // showEvent refills
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void ConfigDialog::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window brought back by the window system (un-minimised) keeps what the operator typed.
    if (!event->spontaneous())
        refill();
}

void ConfigDialog::closeEvent(QCloseEvent *event)
{
    // The close box keeps the edits, exactly as Quit does.
    if (isVisible())
        quit();
    event->accept();
}

void ConfigDialog::refill()
{
    const int configCallNr = m_core.configCallNr();
    m_editCallNr = configCallNr == -1 ? 0 : configCallNr;
    const Settings &settings = m_core.settings();
    m_ownCall->setText(settings.ownCall());
    m_alTime->setText(settings.alTime()); // may bring up the alarm-time message
    m_rmtHost->setText(settings.rmtHost());
    m_rmtPort->setText(settings.rmtPort());
    m_alarmNr->setText(QString::number(m_editCallNr + 1));
    loadEntryFields();
    {
        // The fields already show the entry, so the entry change has nothing to do here.
        const QSignalBlocker blocker(m_scroll);
        setScrollRange();
        m_scroll->setValue(m_editCallNr);
    }
    m_servers->clear();
    m_servers->addItems(serverPresets());
    updateDeleteButton();
    for (ConfigSection *section : m_sections)
        section->load();
}

void ConfigDialog::setScrollRange()
{
    // An empty list still shows slot 0; the bar never gets a range below it.
    m_scroll->setRange(0, std::max(0, m_core.alarmList().lastCallNr()));
}

void ConfigDialog::loadEntryFields()
{
    if (!AlarmList::isSlot(m_editCallNr))
        return;
    const AlarmEntry &entry = m_core.alarmList().at(m_editCallNr);
    m_call->setText(entry.call);
    m_callText->setText(entry.text);
    m_soundFile->setText(entry.sound);
    m_blockTime->setText(entry.blockTimeSet);
}

void ConfigDialog::storeEntryFields(int index)
{
    if (!AlarmList::isSlot(index))
        return;
    // An emptied block time blocks nothing; it is stored as the 0 that applies.
    const QString blockTime = m_blockTime->text().isEmpty() ? QStringLiteral("0") : m_blockTime->text();
    m_core.alarmList().edit(index, [&](AlarmEntry &entry) {
        entry.call = m_call->text();
        entry.text = m_callText->text();
        entry.sound = m_soundFile->text();
        entry.blockTimeSet = blockTime;
    });
}

void ConfigDialog::entryChanged(int value)
{
    // Leaving an entry keeps what was typed in it.
    storeEntryFields(m_editCallNr);
    m_editCallNr = value;
    m_alarmNr->setText(QString::number(m_editCallNr + 1));
    loadEntryFields();
}

void ConfigDialog::addEntry()
{
    AlarmList &list = m_core.alarmList();
    if (list.isFull()) {
        m_core.showNotice(kListFull);
        return;
    }
    storeEntryFields(m_editCallNr);
    const int slot = list.lastCallNr() + 1;
    list.edit(slot, [](AlarmEntry &entry) {
        entry.blockTimer = QStringLiteral("0");
        entry.blockTimeSet = QStringLiteral("30");
    });
    list.appendSlot();
    // The new entry is shown at once, ready for its call.
    {
        const QSignalBlocker blocker(m_scroll);
        setScrollRange();
        m_scroll->setValue(slot);
    }
    m_editCallNr = slot;
    m_alarmNr->setText(QString::number(m_editCallNr + 1));
    loadEntryFields();
    m_call->setFocus();
}

void ConfigDialog::deleteEntry()
{
    AlarmList &list = m_core.alarmList();
    if (!list.removeAt(m_editCallNr))
        return;
    loadEntryFields();
    // When the shown entry was the last one the bar moves to the new last entry, and the entry
    // change shows it.
    setScrollRange();
}

void ConfigDialog::updateDeleteButton()
{
    m_delete->setEnabled(m_core.alarmList().lastCallNr() >= 0);
}

void ConfigDialog::store()
{
    Settings &settings = m_core.settings();
    settings.setText(Settings::Text::OwnCall, m_ownCall->text());
    settings.setText(Settings::Text::AlTime, m_alTime->text());
    settings.setText(Settings::Text::RmtHost, m_rmtHost->text());
    settings.setText(Settings::Text::RmtPort, m_rmtPort->text());
    m_editCallNr = m_alarmNr->text().toInt() - 1;
    storeEntryFields(m_editCallNr);
    for (ConfigSection *section : m_sections)
        section->store();
}

void ConfigDialog::quit()
{
    store();
    m_core.setConfigCallNr(0);
    m_core.applyLogSwitch();
    hide();
}

void ConfigDialog::presetChosen(QListWidgetItem *item)
{
    if (!item)
        return;
    const QString chosen = item->text();
    for (const QString &preset : serverPresets()) {
        if (preset != chosen)
            continue;
        const qsizetype at = preset.indexOf(QStringLiteral(" Port "));
        m_rmtHost->setText(preset.left(at));
        m_rmtPort->setText(preset.mid(at + 6));
        return;
    }
}

void ConfigDialog::checkAlarmTime(const QString &text)
{
    // Text that is no whole number (an emptied field while retyping) passes without a word.
    const auto seconds = parseWholeNumber(text);
    if (!seconds || *seconds <= kMaxAlarmSeconds)
        return;
    m_messages.show(kAlTimeTooLong);
    m_alTime->setText(QString::number(kMaxAlarmSeconds));
}

bool ConfigDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_soundFile && event->type() == QEvent::FocusIn)
        showFileList();
    return QWidget::eventFilter(watched, event);
}

void ConfigDialog::showFileList()
{
    // The working folder's WAV files, then the program's own sounds that the folder does not
    // override: both play by their bare name.
    const QStringList filters{QStringLiteral("*.wav")};
    QStringList names =
        m_core.workDir().entryList(filters, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    QStringList bundled;
    for (const QString &folder : QtSoundPlayer::bundledSoundFolders()) {
        for (const QString &name : QDir(folder).entryList(filters, QDir::Files | QDir::Readable)) {
            if (!names.contains(name) && !bundled.contains(name))
                bundled.append(name);
        }
    }
    bundled.sort(Qt::CaseInsensitive);
    names += bundled;

    const QString selected = m_files->currentItem() ? m_files->currentItem()->text() : QString();
    m_files->clear();
    m_files->addItems(names);
    const QList<QListWidgetItem *> again = m_files->findItems(selected, Qt::MatchExactly);
    if (!selected.isEmpty() && !again.isEmpty())
        m_files->setCurrentItem(again.first());
    m_files->show();
    m_testSound->show();
}

void ConfigDialog::fileChosen(QListWidgetItem *item)
{
    if (item)
        m_soundFile->setText(item->text());
}

void ConfigDialog::testSound()
{
    const QListWidgetItem *item = m_files->currentItem();
    m_core.playSound(item && item->isSelected() ? item->text() : QString());
}
