#pragma once

#include <QString>

// Plays a WAV file by name without blocking; a missing or broken file is silent and never reported.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString &fileName) = 0;
};
