#pragma once

#include "alarms/alarm_notifier.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <memory>

class ActivityWindow;
class AlarmWindow;
class AppCore;
class ConfigDialog;
class InfoWindow;
class MessageSink;
class NeededAlarmWindow;
class PortableTableWindow;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// FormStart: the message window, the status line, the display and alarm switches, the QRQ
// threshold and the buttons that open the other windows. Every control is a view of the core's model.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    // Repaints of the message window are gathered: at most one every this many milliseconds. A picture
    // is the main cost of the program under a contest stream (drawing the text, then sending it to the
    // display), so ten a second is the cap; a spot after a quiet spell is drawn at once.
    static constexpr int kOutputRefreshMs = 100;
    // A notice (a sound that cannot play, a full alarm list) holds the status line this long.
    static constexpr int kNoticeMs = 10000;

    MainWindow(AppCore &core, MessageSink &messages, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The buttons' actions: each window is created on first use, then shown or brought to the front.
    void showActivityTable();
    void showConfig();
    void showInfo();
    void showPortableTable();

    // Quit and the close box: the exit sequence, then the end. When config.txt could not be written
    // (the operator has been told) the program stays once; the next request ends it regardless.
    void requestExit();
    // A termination signal or the end of the desktop session: exit sequence, then the end.
    void endSession();
    bool hasFinished() const { return m_finished; }

    // The windows made so far (nullptr before first use), for the program's own wiring and tests.
    ActivityWindow *activityWindow() const { return m_activity.get(); }
    ConfigDialog *configDialog() const { return m_config.get(); }
    InfoWindow *infoWindow() const { return m_info.get(); }
    PortableTableWindow *portableTableWindow() const { return m_portableTable.get(); }
    AlarmWindow &alarmWindow(AlarmNotifier::Kind kind) const;
    NeededAlarmWindow &neededAlarmWindow() const { return *m_neededAlarm; }

    // The threshold buttons (ButtonSpMsgUp / ButtonSpMsgDn) keep 1..99; a value from config.txt
    // outside that range only moves towards it. A threshold that is not a whole number (16 bit)
    // becomes the default "30", so the buttons always leave a number the filter can use.
    static constexpr int kMinThreshold = 1;
    static constexpr int kMaxThreshold = 99;
    static inline const QString kDefaultThreshold = QStringLiteral("30");
    static QString thresholdUp(const QString &threshold);
    static QString thresholdDown(const QString &threshold);

signals:
    // The program is to end now.
    void finished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMessageColumn();
    void buildSwitchColumns();
    void buildThreshold();
    void buildButtons();
    void setTabOrder();
    void updateQrqControls();
    void updateTunable();
    void refreshOutput();
    void showStatus(const QString &text);
    void storeOpenConfig();
    void finish();

    AppCore &m_core;
    MessageSink &m_messages;

    QPlainTextEdit *m_output = nullptr;
    QLabel *m_status = nullptr;
    QLineEdit *m_speed = nullptr;
    QPushButton *m_speedUp = nullptr;
    QPushButton *m_speedDown = nullptr;
    QTimer m_outputTimer;
    QTimer m_noticeTimer;
    QElapsedTimer m_sinceOutputRefresh;
    // What the message window shows: the log's lines up to this count, unless the log restarted since.
    int m_outputLines = 0;
    bool m_outputRestarted = false;

    std::unique_ptr<AlarmWindow> m_callAlarm;
    std::unique_ptr<AlarmWindow> m_portableAlarm;
    std::unique_ptr<NeededAlarmWindow> m_neededAlarm;
    std::unique_ptr<ActivityWindow> m_activity;
    std::unique_ptr<ConfigDialog> m_config;
    std::unique_ptr<InfoWindow> m_info;
    std::unique_ptr<PortableTableWindow> m_portableTable;

    bool m_exitFailedOnce = false;
    bool m_finished = false;
};
