#include "app/app_core.h"

#include "alarms/alarm_history.h"
#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/block_timers.h"
#include "alarms/feed_watch.h"
#include "alarms/needed_alarm.h"
#include "alarms/sound_output.h"
#include "alarms/spot_pipeline.h"
#include "app/message_sink.h"
#include "country/country_file.h"
#include "country/country_loader.h"
#include "country/country_table.h"
#include "country/log_watcher.h"
#include "country/spotter_filter.h"
#include "country/worked_index.h"
#include "link/cluster_link.h"
#include "link/server_log.h"
#include "model/alarm_list.h"
#include "model/call_text.h"
#include "model/clock.h"
#include "model/config_file.h"
#include "model/config_saver.h"
#include "model/number_text.h"
#include "model/settings.h"
#include "outlets/alarm_outlets.h"
#include "rig/rig_control.h"
#include "spots/message_log.h"
#include "tables/activity_table_model.h"
#include "tables/portable_table_model.h"
#include "version.h"

const QString AppCore::kCaption = QStringLiteral("VemrokAlarm ") + QLatin1StringView(kVersion);

AppCore::AppCore(const QDir &workDir, SoundPlayer &player, MessageSink &messages, const Clock &clock,
                 QObject *parent)
    : QObject(parent), m_workDir(workDir), m_messages(messages), m_clock(clock),
      m_settings(std::make_unique<Settings>()), m_alarmList(std::make_unique<AlarmList>()),
      m_sound(std::make_unique<SoundOutput>(player)), m_serverLog(std::make_unique<ServerLog>()),
      m_portableModel(std::make_unique<PortableTableModel>()),
      m_activityModel(std::make_unique<ActivityTableModel>(*m_alarmList)),
      m_messageLog(std::make_unique<MessageLog>()),
      m_notifier(std::make_unique<AlarmNotifier>(*m_settings, *m_alarmList, *m_sound)),
      m_matcher(std::make_unique<AlarmMatcher>(*m_settings, *m_alarmList, *m_notifier, clock)),
      m_pipeline(std::make_unique<SpotPipeline>(*m_settings, *m_matcher, *m_messageLog)),
      m_link(std::make_unique<ClusterLink>(*m_settings, *m_serverLog)),
      m_feedWatch(std::make_unique<FeedWatch>(*m_settings, *m_sound)),
      m_history(std::make_unique<AlarmHistory>(workDir, clock)),
      m_rig(std::make_unique<RigControl>(*m_settings)),
      m_configSaver(
          std::make_unique<ConfigSaver>(workDir.filePath(ConfigFile::kFileName), *m_settings, *m_alarmList)),
      m_countries(std::make_unique<CountryLoader>()),
      m_spotterFilter(std::make_unique<SpotterFilter>(*m_settings, *m_countries)),
      m_logWatcher(std::make_unique<LogWatcher>()),
      m_needed(std::make_unique<NeededAlarm>(*m_settings, *m_sound, clock))
{
    wire();
    wireCountries();
    wireNeeded();
}

// How the parts talk to each other, all in one place.
void AppCore::wire()
{
    m_rigStatusTimer.setSingleShot(true);
    m_rigStatusTimer.setInterval(kRigStatusMs);
    connect(&m_rigStatusTimer, &QTimer::timeout, this, [this] { showStatus(m_linkStatus); });
    connect(m_rig.get(), &RigControl::statusChanged, this, [this](const QString &text) {
        showStatus(text);
        m_rigStatusTimer.start();
    });
    connect(m_sound.get(), &SoundOutput::problemFound, this, &AppCore::showNotice);
    connect(m_configSaver.get(), &ConfigSaver::writeFailed, this, &AppCore::tellWriteFailed);
    // Emptying the stamps is the operator's doing, not a spot's: it is written as soon as an edit.
    connect(m_activityModel.get(), &ActivityTableModel::timeDateReset, m_configSaver.get(),
            &ConfigSaver::markEdited);
    m_secondTimer.setInterval(1000);
    connect(&m_secondTimer, &QTimer::timeout, this, &AppCore::tickSecond);
    connect(m_link.get(), &ClusterLink::linesReceived, this, [this](const QString &lines) {
        const AlarmHistory::Gathering oneWrite(*m_history);
        m_pipeline->processLines(lines);
    });
    m_link->setLineFilter(
        [pipeline = m_pipeline.get()](QByteArrayView line) { return pipeline->mayMatter(line); });
    connect(m_link.get(), &ClusterLink::statusChanged, this, [this](const QString &text) {
        setStatus(text == kTryConnect && !m_portNote.isEmpty() ? text + m_portNote : text);
    });
    connect(m_link.get(), &ClusterLink::feedConfirmed, this, [this](const QString &detail) {
        if (m_outage) {
            m_outage = false;
            m_history->record(QStringLiteral("link_restored"), QString(), QString(), detail);
        }
        m_feedWatch->linkRestored();
    });
    connect(m_link.get(), &ClusterLink::connectionChanged, this, &AppCore::onConnectionChanged);
    // A new own call is used at once; a new server waits for the next start, as the dialog says.
    connect(m_settings.get(), &Settings::textChanged, this, [this](Settings::Text which) {
        if (which == Settings::Text::OwnCall)
            m_link->reconnectNow();
    });
    // Queued: the operator's message box must not run inside the socket's handler.
    connect(
        m_link.get(), &ClusterLink::serverLogFailed, this,
        [this](const QString &error) {
            if (!m_serverLog->isOpen())
                return;
            m_serverLog->close();
            m_messages.show(QStringLiteral("log.txt cannot be written (%1); the server data log is closed. "
                                           "Press Quit in Config to open it again.")
                                .arg(error));
        },
        Qt::QueuedConnection);
    connect(m_notifier.get(), &AlarmNotifier::callAlarmShown, this,
            [this](int, const QString &call, const QString &text, const QString &qrg) {
                m_history->record(QStringLiteral("call"), call, qrg, text);
            });
    connect(m_notifier.get(), &AlarmNotifier::portableAlarmShown, this,
            [this](const QString &call, const QString &qrg) {
                m_portableModel->record(call, qrg, m_clock.timeText());
                m_history->record(QStringLiteral("portable"), call, qrg, QString());
            });
    wireOutlets();
}

void AppCore::wireOutlets()
{
    m_outlets = std::make_unique<AlarmOutlets>(*m_settings);
    m_outlets->useCountries(*m_countries);
    connect(m_needed.get(), &NeededAlarm::alarmShown, m_outlets.get(),
            [this](const NeededAlarm::Captions &c) {
                m_outlets->neededAlarmShown({c.call, c.entity, c.dxcc, c.band, c.qrg,
                                             NeededAlarm::reasonKey(c.reason),
                                             NeededAlarm::reasonText(c.reason)});
            });
    connect(m_notifier.get(), &AlarmNotifier::callAlarmShown, m_outlets.get(), &AlarmOutlets::callAlarmShown);
    connect(m_notifier.get(), &AlarmNotifier::portableAlarmShown, m_outlets.get(),
            &AlarmOutlets::portableAlarmShown);
    connect(m_feedWatch.get(), &FeedWatch::feedDownChanged, m_outlets.get(), &AlarmOutlets::feedDownChanged);
    connect(m_outlets.get(), &AlarmOutlets::told, this, [this](const QString &text) {
        showStatus(text);
        m_rigStatusTimer.start();
    });
    connect(m_outlets.get(), &AlarmOutlets::pushFailed, this,
            [this](const QString &reason, const OutletAlarm &alarm) {
                m_history->record(QStringLiteral("push_failed"), alarm.call, alarm.qrg,
                                  reason + QStringLiteral(": ") + alarm.line());
            });
}

void AppCore::onConnectionChanged(ClusterLink::Connection state, const QString &detail)
{
    switch (state) {
    case ClusterLink::Connection::Lost:
        if (!m_outage && !m_exited) {
            m_outage = true;
            m_history->record(QStringLiteral("link_lost"), QString(), QString(), detail);
        }
        // Another client took the session: the feed is not down, and the link waits on purpose.
        if (m_link->lastLoss() != ClusterLink::Loss::TakenOver)
            m_feedWatch->linkLost();
        break;
    case ClusterLink::Connection::LoggedIn:
        m_feedWatch->linkLoggedIn();
        break;
    case ClusterLink::Connection::Connecting:
    case ClusterLink::Connection::Connected:
        break;
    }
}

AppCore::~AppCore() = default;

void AppCore::wireCountries()
{
    // A file named in Config is read at once; config.txt's own is read by startUp.
    connect(m_settings.get(), &Settings::textChanged, this, [this](Settings::Text which) {
        if (which == Settings::Text::CtyFile && m_secondTimer.isActive())
            loadCountryFile();
    });
    m_pipeline->setSpotterFilter(m_spotterFilter.get());
    connect(m_countries.get(), &CountryLoader::failed, this, [this](const QString &reason) {
        m_messages.show(reason + QStringLiteral("; calls are shown without their country."));
    });
    connect(m_countries.get(), &CountryLoader::loaded, this,
            [this](const std::shared_ptr<const CountryTable> &table, qint64) {
                if (table->malformedCount() > 0)
                    showStatus(QStringLiteral("country file %1: %2 malformed entries skipped")
                                   .arg(table->path())
                                   .arg(table->malformedCount()));
            });
}

// In the background: the first picture does not wait for it.
void AppCore::loadCountryFile()
{
    m_countries->load(CountryFile::locate(m_workDir, m_settings->text(Settings::Text::CtyFile)));
}

void AppCore::wireNeeded()
{
    m_pipeline->setNeededAlarm(m_needed.get());
    connect(m_countries.get(), &CountryLoader::loaded, this, [this] {
        m_countryFailed = false;
        updateNeeded();
    });
    connect(m_countries.get(), &CountryLoader::failed, this, [this] {
        m_countryFailed = true;
        updateNeeded();
    });
    // Looked at once the change is over: config.txt sets the switch before the log's path.
    const auto later = [this] {
        QMetaObject::invokeMethod(
            this, [this] { updateNeeded(); }, Qt::QueuedConnection);
    };
    connect(m_settings.get(), &Settings::switchChanged, this, [later](Settings::Switch which) {
        if (which == Settings::Switch::Needed)
            later();
    });
    connect(m_settings.get(), &Settings::textChanged, this, [later](Settings::Text which) {
        if (which == Settings::Text::LogAdif)
            later();
    });
    connect(m_logWatcher.get(), &LogWatcher::indexRead, this,
            [this](const std::shared_ptr<const WorkedIndex> &index) {
                m_needed->setWorkedIndex(index);
                tellNeeded(QStringLiteral("log read: %1 CW QSOs, %2 entities")
                               .arg(index->cwQsoCount())
                               .arg(index->entityCount(m_settings->isOn(Settings::Switch::NeedConf))));
            });
    connect(m_logWatcher.get(), &LogWatcher::readFailed, this, [this](const QString &reason) {
        m_needed->setWorkedIndex(m_logWatcher->index());
        tellNeeded(QStringLiteral("needed alarms: the log %1 cannot be read (%2)")
                       .arg(m_settings->text(Settings::Text::LogAdif), reason));
    });
    connect(m_needed.get(), &NeededAlarm::alarmShown, this, [this](const NeededAlarm::Captions &alarm) {
        m_history->record(QStringLiteral("needed"), alarm.call, alarm.qrg,
                          QStringLiteral("%1: %2 (%3)")
                              .arg(alarm.entity, NeededAlarm::reasonText(alarm.reason), alarm.band));
    });
}

void AppCore::updateNeeded()
{
    const bool on = m_settings->isOn(Settings::Switch::Needed);
    QString path = m_settings->text(Settings::Text::LogAdif).trimmed();
    if (path.startsWith(QStringLiteral("~/")))
        path.replace(0, 1, QDir::homePath());
    const auto table = m_countries->sharedTable();
    m_needed->setCountryTable(table);
    // Off, the log is neither read nor watched.
    m_logWatcher->watch(on && !path.isEmpty() ? m_workDir.absoluteFilePath(path) : QString(), table);
    m_needed->setWorkedIndex(m_logWatcher->index());
    if (!on)
        m_neededTold.clear();
    else if (path.isEmpty())
        tellNeeded(QStringLiteral("needed alarms are off: no ADIF log set ($LOGADIF in Config)"));
    else if (m_countryFailed)
        tellNeeded(QStringLiteral("needed alarms are off: no country file"));
}

void AppCore::tellNeeded(const QString &text)
{
    if (text == m_neededTold)
        return;
    m_neededTold = text;
    // Shown like a radio's answer: for a while, then the link's status is back.
    showStatus(text);
    m_rigStatusTimer.start();
}

QString AppCore::configPath() const
{
    return m_workDir.filePath(ConfigFile::kFileName);
}

void AppCore::setStatus(const QString &text)
{
    m_linkStatus = text;
    m_rigStatusTimer.stop();
    showStatus(text);
}

void AppCore::showStatus(const QString &text)
{
    if (m_status == text)
        return;
    m_status = text;
    emit statusChanged(text);
}

void AppCore::startUp()
{
    m_exited = false;
    m_configSaver->stop();
    m_link->close();
    m_portableModel->reset();
    setStatus(kTryConnect);
    m_messageLog->reset();
    m_configCallNr = -1;
    m_settings->applyDefaults();

    // The sample entry sits in slot 0 without being live: a new config.txt is written from it.
    m_alarmList->clearLive();
    AlarmEntry sample = AlarmList::sampleEntry();
    sample.blockTimer = m_alarmList->at(0).blockTimer;
    m_alarmList->setEntry(0, sample);

    readConfig();
    tellLowerCaseCalls();
    loadCountryFile();
    openServerLog();
    // Nobody clicks before start-up is over: a radio setting that cannot work is said now.
    if (const QString problem = m_rig->settingsProblem(); !problem.isEmpty())
        m_messages.show(QStringLiteral("config.txt: %1; the radio cannot be tuned until it is set right in "
                                       "Config.")
                            .arg(problem));

    if (m_settings->rmtHost().isEmpty())
        m_settings->setText(Settings::Text::RmtHost, Settings::kDefaultHost);
    if (m_settings->rmtPort().isEmpty())
        m_settings->setText(Settings::Text::RmtPort, Settings::kDefaultPort);
    connectToServer();

    m_sound->play(kStartupSound);

    for (int i = 0; i <= m_alarmList->lastCallNr(); ++i) {
        m_alarmList->edit(i, [](AlarmEntry &entry) {
            entry.blockTimer = QStringLiteral("0");
            if (entry.blockTimeSet.isEmpty())
                entry.blockTimeSet = QStringLiteral("30");
        });
    }
    if (m_configWritable)
        m_configSaver->watch();
    m_secondTimer.start();
}

void AppCore::readConfig()
{
    ConfigFile::ReadResult result = ConfigFile::read(configPath(), *m_settings, *m_alarmList);
    switch (result.status) {
    case ConfigFile::ReadStatus::Loaded:
        break;
    case ConfigFile::ReadStatus::Missing: {
        // The new file is read back, so the run starts exactly as the next one will; when it cannot
        // be written the same content is applied from memory.
        const QByteArray content = ConfigFile::serialize(*m_settings, *m_alarmList);
        const ConfigFile::WriteResult written = ConfigFile::write(configPath(), *m_settings, *m_alarmList);
        if (written.ok) {
            m_messages.show(kConfigCreated);
            result = ConfigFile::read(configPath(), *m_settings, *m_alarmList);
            if (result.status == ConfigFile::ReadStatus::Loaded)
                break;
        } else {
            m_messages.show(
                QStringLiteral("File config.txt not found, and a new one could not be created: %1")
                    .arg(written.error));
        }
        result = {};
        ConfigFile::apply(content, *m_settings, *m_alarmList, result);
        break;
    }
    case ConfigFile::ReadStatus::Unreadable:
        m_configWritable = false;
        m_messages.show(QStringLiteral("config.txt cannot be read (%1). The program runs on its defaults and "
                                       "leaves config.txt untouched in this run.")
                            .arg(result.error));
        return;
    }
    if (result.entriesSkipped > 0) {
        m_messages.show(
            QStringLiteral("config.txt holds more than %1 alarm entries: %2 entries after the %1th "
                           "were not loaded and will not be saved.")
                .arg(AlarmList::kCapacity)
                .arg(result.entriesSkipped));
    }
}

void AppCore::tellLowerCaseCalls()
{
    // A hand-edited config.txt keeps what it holds; the operator learns why such an entry stays silent.
    const QList<int> entries = lowerCaseEntries(*m_alarmList);
    if (entries.isEmpty())
        return;
    QStringList named;
    for (const int entry : entries)
        named.append(QStringLiteral("%1 (%2)").arg(entry + 1).arg(m_alarmList->at(entry).call));
    m_messages.show(QStringLiteral("config.txt: calls with lower-case letters can never match, as spotted "
                                   "calls come in capitals. Alarm-Nr. %1; type them again in Config.")
                        .arg(named.join(QStringLiteral(", "))));
}

void AppCore::openServerLog()
{
    if (!m_settings->isOn(Settings::Switch::LogFile)) {
        m_serverLog->close();
        return;
    }
    if (!m_serverLog->isOpen() && !m_serverLog->open(m_workDir.filePath(kServerLogName)))
        m_messages.show(QStringLiteral("log.txt cannot be opened: %1").arg(m_serverLog->errorString()));
}

void AppCore::applyLogSwitch()
{
    openServerLog();
}

void AppCore::setServerOverride(const QString &host, quint16 port)
{
    m_overrideHost = host;
    m_overridePort = port;
}

void AppCore::connectToServer()
{
    if (!m_overrideHost.isEmpty()) {
        m_portNote.clear();
        m_link->start(m_overrideHost, m_overridePort);
        return;
    }
    const QString portText = m_settings->rmtPort();
    const auto port = parseWholeNumberIn(portText, 1, 65535);
    m_portNote = port ? QString()
                      : QStringLiteral(" (port \"%1\" is not a port number, using %2)")
                            .arg(portText)
                            .arg(kFallbackPort);
    m_link->start(m_settings->rmtHost(), port ? static_cast<quint16>(*port) : kFallbackPort);
}

bool AppCore::exitSequence()
{
    m_link->close();
    bool saved = true;
    if (m_configWritable) {
        const ConfigFile::WriteResult written = m_configSaver->writeNow();
        if (!written.ok) {
            saved = false;
            tellWriteFailed(written.error);
        }
    }
    if (saved) {
        m_configSaver->stop();
        m_feedWatch->linkRestored();
        m_serverLog->close();
        m_secondTimer.stop();
    }
    m_exited = saved;
    return saved;
}

void AppCore::tellWriteFailed(const QString &error)
{
    m_messages.show(QStringLiteral("config.txt could not be written: %1. Your settings and alarm list "
                                   "were not saved.")
                        .arg(error));
}

void AppCore::resumeAfterFailedExit()
{
    if (m_exited)
        return;
    connectToServer();
}

void AppCore::playSound(const QString &fileName)
{
    m_sound->play(fileName);
}

void AppCore::processLine(const QString &line)
{
    if (m_pipeline->mayMatter(line.toUtf8()))
        m_pipeline->processLine(line);
}

void AppCore::reconnectNow()
{
    m_link->reconnectNow();
}

void AppCore::tickSecond()
{
    countDownBlockTimers(*m_alarmList);
}
