#include "ui/config_dialog.h"

#include "app/app_core.h"
#include "app/message_sink.h"
#include "model/alarm_list.h"
#include "model/number_text.h"
#include "model/settings.h"
#include "rig/hamlib_catalog.h"
#include "rig/rig_control.h"
#include "ui/layout_fonts.h"
#include "ui/log_section.h"
#include "ui/qt_sound_player.h"
#include "ui/spotter_continent_box.h"
#include "ui/switch_binding.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>

#include <algorithm>

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

} // namespace

ConfigDialog::ConfigDialog(AppCore &core, MessageSink &messages, QWidget *parent)
    : QWidget(parent, Qt::Window), m_core(core), m_messages(messages)
{
    setObjectName(QStringLiteral("FormConfig"));
    setWindowTitle(QStringLiteral("Configuration"));
    setFont(layoutfonts::msSansSerif());
    setFixedSize(twips::size(10425, 9210));

    addLabel(QStringLiteral("LabelOwnCall"), QStringLiteral("Own Call for RBN-Login"), 120, 240, 2775, 495);
    addLabel(QStringLiteral("LabelAlTime"), QStringLiteral("Alarm-Time in sec"), 120, 720, 2175, 255);
    addLabel(QStringLiteral("LabelRmtHost"), QStringLiteral("Remote Host"), 4680, 240, 1095, 255);
    addLabel(QStringLiteral("LabelRmtPort"), QStringLiteral("Remote Port"), 4680, 720, 1095, 255);
    m_ownCall = addField(QStringLiteral("TxtOwnCall"), 1920, 120, 1695, 375);
    m_alTime = addField(QStringLiteral("TxtAlTime"), 1920, 720, 615, 285);
    m_rmtHost = addField(QStringLiteral("TxtRmtHost"), 5760, 120, 4335, 375);
    m_rmtPort = addField(QStringLiteral("TxtRmtPort"), 5760, 600, 735, 375);
    connect(m_alTime, &QLineEdit::textChanged, this, &ConfigDialog::checkAlarmTime);

    m_logFile = new QCheckBox(QStringLiteral("write server data log"), this);
    m_logFile->setObjectName(QStringLiteral("CheckEnLogFile"));
    twips::place(*m_logFile, 8280, 600, 1935, 495);
    bindSwitch(*m_logFile, m_core.settings(), Settings::Switch::LogFile);

    m_servers = new QListWidget(this);
    m_servers->setObjectName(QStringLiteral("ListServer"));
    twips::place(*m_servers, 5760, 1080, 3855, 1230);
    connect(m_servers, &QListWidget::itemDoubleClicked, this, &ConfigDialog::presetChosen);
    addLabel(QStringLiteral("Label1"), QStringLiteral("after server change, restart program to activate"),
             5760, 2400, 4575, 255);

    auto *line = new Separator(this);
    twips::place(*line, 120, 2760, 10080, 15);

    addLabel(QStringLiteral("LabelAlarmNr"), QStringLiteral("Alarm-Nr."), 120, 3480, 1215, 255);
    m_alarmNr = addLabel(QStringLiteral("LabelAlNr"), QString(), 1800, 3480, 1215, 255);
    m_scroll = new QScrollBar(Qt::Vertical, this);
    m_scroll->setObjectName(QStringLiteral("VScrollCsNr"));
    twips::place(*m_scroll, 3960, 2880, 375, 1215);
    m_scroll->setPageStep(1);
    connect(m_scroll, &QScrollBar::valueChanged, this, &ConfigDialog::entryChanged);

    const QFont bigBold = layoutfonts::msSansSerif(18, QFont::Bold);
    m_add = addButton(QStringLiteral("ButtonAddCall"), QStringLiteral("+"), 4560, 2880, 495, 495);
    m_add->setFont(bigBold);
    m_add->setToolTip(
        QStringLiteral("Add an entry at the end of the alarm list (at most %1)").arg(AlarmList::kCapacity));
    connect(m_add, &QPushButton::clicked, this, &ConfigDialog::addEntry);
    m_delete = addButton(QStringLiteral("ButtonDelCall"), QStringLiteral("-"), 4560, 3600, 495, 495);
    m_delete->setFont(bigBold);
    m_delete->setToolTip(QStringLiteral("Delete the shown entry"));
    connect(m_delete, &QPushButton::clicked, this, &ConfigDialog::deleteEntry);

    auto *wildcards = addLabel(QStringLiteral("LabelWildcards"),
                               QStringLiteral("\"*\" = any characters, \"?\" = one character "
                                              "(TS0EST* alarms for TS0EST/P too)"),
                               5280, 3120, 4920, 735);
    wildcards->setWordWrap(true);

    addLabel(QStringLiteral("LableCall"), QStringLiteral("Call"), 120, 3960, 1215, 375);
    addLabel(QStringLiteral("LabelCallTxt"), QStringLiteral("Text"), 120, 4440, 1215, 255);
    addLabel(QStringLiteral("LabelSoundFile"), QStringLiteral("Sound"), 120, 4920, 1215, 255);
    addLabel(QStringLiteral("LabelBlkTime"), QStringLiteral("Blocking-Time in sec"), 120, 5400, 2175, 255);
    m_call = addField(QStringLiteral("TxtCall"), 1800, 3960, 1695, 285);
    m_callText = addField(QStringLiteral("TxtCallTxt"), 1800, 4440, 8175, 285);
    m_soundFile = addField(QStringLiteral("TxtSoundFile"), 1800, 4920, 3255, 285);
    m_blockTime = addField(QStringLiteral("TxtBlkTime"), 1800, 5400, 615, 285);
    m_soundFile->installEventFilter(this);

    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("FileListe"));
    twips::place(*m_files, 1800, 5760, 3135, 3210);
    m_files->hide();
    connect(m_files, &QListWidget::itemDoubleClicked, this, &ConfigDialog::fileChosen);
    m_testSound =
        addButton(QStringLiteral("ButtonTestSound"), QStringLiteral("Test Sound"), 5160, 8520, 1215, 495);
    m_testSound->hide();
    connect(m_testSound, &QPushButton::clicked, this, &ConfigDialog::testSound);

    buildRadioGroup();
    twips::place(*new SpotterContinentBox(core.settings(), this), 120, 1560, 5400, 735);
    m_logSection = new LogSection(m_core.settings(), this);
    twips::place(*m_logSection, 10440, 5280, 4920, 2400);
    setFixedSize(twips::size(15480, 9210));

    auto *quitButton =
        addButton(QStringLiteral("ButtonConfigQuit"), QStringLiteral("Quit"), 9000, 8520, 1215, 495);
    connect(quitButton, &QPushButton::clicked, this, &ConfigDialog::quit);

    connect(&m_core.alarmList(), &AlarmList::structureChanged, this, &ConfigDialog::updateEntryButtons);
    updateEntryButtons();
}

QStringList ConfigDialog::serverPresets()
{
    return {Settings::kDefaultHost + QStringLiteral(" Port ") + Settings::kDefaultPort,
            QStringLiteral("dxfun.com Port 8000"), QStringLiteral("rbn.telegraphy.de Port 7000"),
            QStringLiteral("relay1.reversebeacon.net Port 7000")};
}

QLineEdit *ConfigDialog::addField(const QString &name, int left, int top, int width, int height)
{
    auto *field = new QLineEdit(this);
    field->setObjectName(name);
    twips::place(*field, left, top, width, height);
    return field;
}

QLabel *ConfigDialog::addLabel(const QString &name, const QString &text, int left, int top, int width,
                               int height)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    twips::place(*label, left, top, width, height);
    return label;
}

QPushButton *ConfigDialog::addButton(const QString &name, const QString &text, int left, int top, int width,
                                     int height)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    twips::place(*button, left, top, width, height);
    return button;
}

void ConfigDialog::open()
{
    if (isVisible())
        refill();
    else
        show(); // showEvent refills
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
    updateEntryButtons();
    refillRadio();
    m_logSection->load();
}

void ConfigDialog::buildRadioGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Radio"), this);
    group->setObjectName(QStringLiteral("GroupRadio"));
    twips::place(*group, 5280, 5280, 4920, 3120);
    const auto label = [group](const QString &text, int top) {
        auto *caption = new QLabel(text, group);
        twips::place(*caption, 120, top, 840, 255);
        return caption;
    };

    label(QStringLiteral("Model"), 360);
    m_rigModel = new QComboBox(group);
    m_rigModel->setObjectName(QStringLiteral("ComboRigModel"));
    twips::place(*m_rigModel, 960, 300, 3840, 345);
    m_rigModel->addItem(QStringLiteral("no radio"), QString());
    for (const HamlibCatalog::Model &model : HamlibCatalog::models())
        m_rigModel->addItem(QStringLiteral("%1 (%2)").arg(model.name).arg(model.number),
                            QString::number(model.number));
    connect(m_rigModel, &QComboBox::activated, this, &ConfigDialog::rigModelChosen);

    label(QStringLiteral("Port"), 840);
    m_rigPath = new QLineEdit(group);
    m_rigPath->setObjectName(QStringLiteral("TxtRigPath"));
    twips::place(*m_rigPath, 960, 780, 3840, 345);

    label(QStringLiteral("Speed"), 1320);
    m_rigSpeed = new QComboBox(group);
    m_rigSpeed->setObjectName(QStringLiteral("ComboRigSpeed"));
    m_rigSpeed->setEditable(true);
    m_rigSpeed->addItems({QString(), QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
                          QStringLiteral("38400"), QStringLiteral("57600"), QStringLiteral("115200")});
    m_rigSpeed->lineEdit()->setPlaceholderText(QStringLiteral("model's own"));
    twips::place(*m_rigSpeed, 960, 1260, 1455, 345);

    auto *test = new QPushButton(QStringLiteral("Test"), group);
    test->setObjectName(QStringLiteral("ButtonRigTest"));
    test->setAutoDefault(false);
    test->setToolTip(QStringLiteral("Read the radio's frequency with these settings"));
    twips::place(*test, 120, 1800, 840, 375);
    connect(test, &QPushButton::clicked, this, &ConfigDialog::testRig);
    m_rigAnswer = new QLabel(group);
    m_rigAnswer->setObjectName(QStringLiteral("LabelRigTest"));
    m_rigAnswer->setTextFormat(Qt::PlainText);
    twips::place(*m_rigAnswer, 1080, 1860, 3720, 255);
    connect(&m_core.rig(), &RigControl::tested, m_rigAnswer, &QLabel::setText);

    auto *hint = new QLabel(QStringLiteral("Tune with a click on a pop-up's frequency, a double-click on a "
                                           "spot, or a table row's right-click menu."),
                            group);
    hint->setWordWrap(true);
    twips::place(*hint, 120, 2340, 4680, 675);
}

void ConfigDialog::refillRadio()
{
    const Settings &settings = m_core.settings();
    const QString model = settings.text(Settings::Text::RigModel);
    int index = m_rigModel->findData(model.trimmed());
    if (index < 0) {
        // A hand-edited number Hamlib does not know is shown as it is and kept unless changed.
        m_rigModel->addItem(QStringLiteral("%1 (unknown to Hamlib)").arg(model), model);
        index = m_rigModel->count() - 1;
    }
    m_rigModel->setCurrentIndex(index);
    m_rigPath->setText(settings.text(Settings::Text::RigPath));
    m_rigSpeed->setEditText(settings.text(Settings::Text::RigSpeed));
    m_rigAnswer->clear();
    rigModelChosen();
}

void ConfigDialog::rigModelChosen()
{
    const auto model = HamlibCatalog::find(m_rigModel->currentData().toString().toInt());
    const bool network = model && model->network;
    // NET rigctl without a port gets the rigctld default, so choosing it is all a logger's user does.
    if (network && m_rigPath->text().isEmpty() && m_rigModel->currentIndex() > 0)
        m_rigPath->setText(HamlibCatalog::kNetRigctlPath);
    m_rigPath->setPlaceholderText(network ? QStringLiteral("host:port") : QStringLiteral("/dev/ttyUSB0"));
    m_rigSpeed->setEnabled(!model || model->serial);
}

void ConfigDialog::testRig()
{
    m_rigAnswer->setText(QStringLiteral("asking the radio ..."));
    m_core.rig().test(RigTarget::fromTexts(m_rigModel->currentData().toString(), m_rigPath->text(),
                                           m_rigSpeed->currentText()));
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
    m_core.alarmList().edit(index, [this](AlarmEntry &entry) {
        entry.call = m_call->text();
        entry.text = m_callText->text();
        entry.sound = m_soundFile->text();
        entry.blockTimeSet = m_blockTime->text();
    });
}

void ConfigDialog::entryChanged(int value)
{
    // A new entry (no call yet) is kept when the operator scrolls away; edits of an existing one
    // are kept only by Quit.
    if (AlarmList::isSlot(m_editCallNr) && m_core.alarmList().at(m_editCallNr).call.isEmpty())
        storeEntryFields(m_editCallNr);
    m_editCallNr = value;
    m_alarmNr->setText(QString::number(m_editCallNr + 1));
    loadEntryFields();
}

void ConfigDialog::addEntry()
{
    AlarmList &list = m_core.alarmList();
    if (list.isFull())
        return;
    const int slot = list.lastCallNr() + 1;
    list.edit(slot, [](AlarmEntry &entry) {
        entry.blockTimer = QStringLiteral("0");
        entry.blockTimeSet = QStringLiteral("30");
    });
    list.appendSlot();
    // The new entry is reached by scrolling; the shown one stays.
    const QSignalBlocker blocker(m_scroll);
    setScrollRange();
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

void ConfigDialog::updateEntryButtons()
{
    const AlarmList &list = m_core.alarmList();
    m_add->setEnabled(!list.isFull());
    m_delete->setEnabled(list.lastCallNr() >= 0);
}

void ConfigDialog::quit()
{
    Settings &settings = m_core.settings();
    settings.setText(Settings::Text::OwnCall, m_ownCall->text());
    settings.setText(Settings::Text::AlTime, m_alTime->text());
    settings.setText(Settings::Text::RmtHost, m_rmtHost->text());
    settings.setText(Settings::Text::RmtPort, m_rmtPort->text());
    settings.setText(Settings::Text::RigModel, m_rigModel->currentData().toString());
    settings.setText(Settings::Text::RigPath, m_rigPath->text());
    settings.setText(Settings::Text::RigSpeed, m_rigSpeed->currentText());
    m_editCallNr = m_alarmNr->text().toInt() - 1;
    storeEntryFields(m_editCallNr);
    m_logSection->store();
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
