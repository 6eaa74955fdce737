#include "alarms/feed_watch.h"

#include "alarms/sound_output.h"
#include "model/settings.h"

FeedWatch::FeedWatch(Settings &settings, SoundOutput &sound, QObject *parent)
    : QObject(parent), m_settings(settings), m_sound(sound)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kAlarmAfterMs);
    connect(&m_timer, &QTimer::timeout, this, &FeedWatch::expire);
}

void FeedWatch::linkLost()
{
    // Failed retries do not move the minute on: it counts from the first loss.
    if (!m_down && !m_timer.isActive())
        m_timer.start();
}

void FeedWatch::linkLoggedIn()
{
    m_timer.stop();
}

void FeedWatch::linkRestored()
{
    m_timer.stop();
    if (!m_down)
        return;
    m_down = false;
    emit feedDownChanged(false);
}

void FeedWatch::expire()
{
    m_timer.stop();
    if (m_down)
        return;
    m_down = true;
    if (m_settings.isOn(Settings::Switch::SoundEn))
        m_sound.play(kSound);
    emit feedDownChanged(true);
}
