#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class AlarmList;
class Settings;
class SoundOutput;

// The state of the two alarm pop-ups: whether each is shown, what it says, its sound gate and its
// hide timer. The windows only render this; headless mode has the same gates without windows.
class AlarmNotifier final : public QObject {
    Q_OBJECT
public:
    enum class Kind { Call, Portable };

    struct Captions {
        QString call;
        QString text; // the entry's alarm text; empty for the portable alarm
        QString qrg;
    };

    static inline const QString kPortableSound = QStringLiteral("kukuk.wav");
    // Hide time when AlTime is not a whole number.
    static constexpr int kFallbackAlarmSeconds = 20;
    static constexpr int kMaxAlarmSeconds = 65;

    AlarmNotifier(Settings &settings, AlarmList &list, SoundOutput &sound, QObject *parent = nullptr);

    // ShowCallAlarm: sound (when allowed and not already shown), block countdown restart, captions,
    // hide timer, shown.
    void showCallAlarm(int entry, const QString &call, const QString &text, const QString &qrg);
    // ShowPortableAlarm: sound gate, captions, hide timer, shown (the /P table records it from the signal).
    void showPortableAlarm(const QString &call, const QString &qrg);

    // A hide timer fired (Timer1_Timer / Timer2_Timer), or the window was closed by other means.
    void hide(Kind kind);

    bool isShown(Kind kind) const { return state(kind).shown; }
    const Captions &captions(Kind kind) const { return state(kind).captions; }
    // The timer that will hide the alarm; tests fire it through hide().
    const QTimer &hideTimer(Kind kind) const { return state(kind).timer; }

    // AlTime as a hide interval in ms: clamped into 0..65 s; 0 = never hidden.
    static int hideIntervalMs(const QString &alTime);

signals:
    void callAlarmShown(int entry, const QString &call, const QString &text, const QString &qrg);
    void portableAlarmShown(const QString &call, const QString &qrg);
    void alarmHidden(AlarmNotifier::Kind kind);

private:
    struct State {
        bool shown = false;
        Captions captions;
        QTimer timer;
    };
    State &state(Kind kind) { return kind == Kind::Call ? m_call : m_portable; }
    const State &state(Kind kind) const { return kind == Kind::Call ? m_call : m_portable; }
    bool soundAllowed(Kind kind) const;
    void armAndShow(Kind kind);

    Settings &m_settings;
    AlarmList &m_list;
    SoundOutput &m_sound;
    State m_call;
    State m_portable;
};
