#pragma once

#include <QObject>
#include <QTimer>

class Settings;
class SoundOutput;

// Loss of the feed is an alarm too: when the link has been down for a minute the operator hears one
// sound (when the sound switch is on) and the status line turns red until the link is back.
class FeedWatch final : public QObject {
    Q_OBJECT
public:
    static constexpr int kAlarmAfterMs = 60'000;
    static inline const QString kSound = QStringLiteral("gong.wav");

    FeedWatch(Settings &settings, SoundOutput &sound, QObject *parent = nullptr);

    // The link was lost, or an attempt to restore it failed.
    void linkLost();
    // Logged in again: a quiet feed is no lost one, so the minute stops, but a feed that is down stays
    // down until the link is restored.
    void linkLoggedIn();
    // The link delivers again (a spot, or a login that lasted).
    void linkRestored();

    bool isFeedDown() const { return m_down; }
    // The minute's timer; tests fire it through expire().
    const QTimer &timer() const { return m_timer; }
    void expire();

signals:
    void feedDownChanged(bool down);

private:
    Settings &m_settings;
    SoundOutput &m_sound;
    QTimer m_timer;
    bool m_down = false;
};
