#pragma once

#include "link/cluster_link.h"

#include <QDir>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class ActivityTableModel;
class AlarmOutlets;
class AlarmHistory;
class AlarmList;
class AlarmMatcher;
class AlarmNotifier;
class Clock;
class ConfigSaver;
class CountryLoader;
class FeedWatch;
class LogWatcher;
class MessageLog;
class MessageSink;
class NeededAlarm;
class PortableTableModel;
class RigControl;
class ServerLog;
class Settings;
class SoundOutput;
class SoundPlayer;
class SpotPipeline;
class SpotterFilter;

// The program without its windows: owns the settings, the alarm list and every part of the spot
// pipeline, and runs the start-up and exit sequences. The GUI and headless mode both drive this.
class AppCore final : public QObject {
    Q_OBJECT
public:
    static const QString kCaption; // "VemrokAlarm V0.6.7", from the build's version
    static inline const QString kStartupSound = QStringLiteral("gong.wav");
    static inline const QString kServerLogName = QStringLiteral("log.txt");
    static inline const QString kTryConnect = QStringLiteral("try connect server");
    static inline const QString kConfigCreated = QStringLiteral("File config.txt not found, new created");
    static constexpr quint16 kFallbackPort = 7000;
    // A radio's answer stays this long in the status line, then the link's status is back.
    static constexpr int kRigStatusMs = 10000;

    AppCore(const QDir &workDir, SoundPlayer &player, MessageSink &messages, const Clock &clock,
            QObject *parent = nullptr);
    ~AppCore() override;

    // Connect to this server instead of the configured one, leaving RmtHost and RmtPort as they are
    // (the demo source, and tests that must not reach the network). Set before startUp().
    void setServerOverride(const QString &host, quint16 port);

    // Brings the program up: defaults, config.txt, server log, connection, start-up sound, timers.
    void startUp();
    // Closes the link, writes config.txt, closes the server log. Returns false when config.txt could
    // not be written (the operator has been told); the state is kept so a later exit can try again.
    bool exitSequence();
    bool hasExited() const { return m_exited; }
    // After a failed exit the operator may go on working: the link connects again.
    void resumeAfterFailedExit();

    // The configuration dialog's Quit: opens or closes log.txt to follow the log switch.
    void applyLogSwitch();
    // Plays a sound the way every sound is played (the dialog's "Test Sound").
    void playSound(const QString &fileName);
    // One received line through the whole pipeline (what the link does for every line).
    void processLine(const QString &line);
    // The operator's "Reconnect now": a new attempt at once, the back-off started afresh.
    void reconnectNow();
    // TimerSec: one tick of the block countdowns.
    void tickSecond();

    // A short text for the operator that needs no answer (the status line for a while; headless a
    // "message" event), unlike MessageSink's texts, which wait for the operator.
    void showNotice(const QString &text) { emit noticeShown(text); }

    QString statusText() const { return m_status; }
    int configCallNr() const { return m_configCallNr; }
    void setConfigCallNr(int index) { m_configCallNr = index; }
    QDir workDir() const { return m_workDir; }
    QString configPath() const;

    Settings &settings() { return *m_settings; }
    AlarmList &alarmList() { return *m_alarmList; }
    ClusterLink &link() { return *m_link; }
    ServerLog &serverLog() { return *m_serverLog; }
    MessageLog &messageLog() { return *m_messageLog; }
    AlarmNotifier &notifier() { return *m_notifier; }
    AlarmMatcher &matcher() { return *m_matcher; }
    SpotPipeline &pipeline() { return *m_pipeline; }
    SoundOutput &sound() { return *m_sound; }
    FeedWatch &feedWatch() { return *m_feedWatch; }
    AlarmHistory &history() { return *m_history; }
    ConfigSaver &configSaver() { return *m_configSaver; }
    ActivityTableModel &activityModel() { return *m_activityModel; }
    PortableTableModel &portableModel() { return *m_portableModel; }
    RigControl &rig() { return *m_rig; }
    AlarmOutlets &outlets() { return *m_outlets; }
    CountryLoader &countries() { return *m_countries; }
    LogWatcher &logWatcher() { return *m_logWatcher; }
    NeededAlarm &neededAlarm() { return *m_needed; }
    const Clock &clock() const { return m_clock; }
    QTimer &secondTimer() { return m_secondTimer; }

signals:
    void statusChanged(const QString &text);
    // showNotice's text.
    void noticeShown(const QString &text);

private:
    // The link's status; showStatus alone for texts that give way to it again.
    void setStatus(const QString &text);
    void showStatus(const QString &text);
    void readConfig();
    void openServerLog();
    void connectToServer();
    void wire();
    void onConnectionChanged(ClusterLink::Connection state, const QString &detail);
    void tellWriteFailed(const QString &error);
    // Desktop notifications and push: told of the pop-ups' alarms and the feed's news.
    void wireOutlets();
    void tellLowerCaseCalls();
    void wireCountries();
    void loadCountryFile();
    // Needed alarms: the log read while they are on and a country file is there; why not, told once.
    void wireNeeded();
    void updateNeeded();
    void tellNeeded(const QString &text);

    QDir m_workDir;
    MessageSink &m_messages;
    const Clock &m_clock;

    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<AlarmList> m_alarmList;
    std::unique_ptr<SoundOutput> m_sound;
    std::unique_ptr<ServerLog> m_serverLog;
    std::unique_ptr<PortableTableModel> m_portableModel;
    std::unique_ptr<ActivityTableModel> m_activityModel;
    std::unique_ptr<MessageLog> m_messageLog;
    std::unique_ptr<AlarmNotifier> m_notifier;
    std::unique_ptr<AlarmMatcher> m_matcher;
    std::unique_ptr<SpotPipeline> m_pipeline;
    std::unique_ptr<ClusterLink> m_link;
    std::unique_ptr<FeedWatch> m_feedWatch;
    std::unique_ptr<AlarmHistory> m_history;
    std::unique_ptr<RigControl> m_rig;
    std::unique_ptr<ConfigSaver> m_configSaver;
    std::unique_ptr<AlarmOutlets> m_outlets;
    std::unique_ptr<CountryLoader> m_countries;
    std::unique_ptr<SpotterFilter> m_spotterFilter;
    std::unique_ptr<LogWatcher> m_logWatcher;
    std::unique_ptr<NeededAlarm> m_needed;

    QTimer m_secondTimer;
    QString m_status = QStringLiteral("Init");
    QString m_linkStatus = m_status;
    QTimer m_rigStatusTimer;
    QString m_portNote;
    QString m_overrideHost;
    quint16 m_overridePort = 0;
    int m_configCallNr = -1;
    // A config.txt that exists but cannot be read is never replaced in that run.
    bool m_configWritable = true;
    bool m_exited = false;
    // Between a loss of the link and its next login; the history gets one line for each end.
    bool m_outage = false;
    bool m_countryFailed = false;
    QString m_neededTold;
};
