#pragma once

#include <QString>

// Plays a WAV file by name without blocking; a missing or broken file is silent.
class SoundPlayer {
public:
    enum class Problem { None, FileMissing, NoDevice };

    virtual ~SoundPlayer() = default;
    virtual void play(const QString &fileName) = 0;
    // Why play(fileName) would be silent, as far as can be known before playing.
    virtual Problem problemWith(const QString &fileName) const
    {
        Q_UNUSED(fileName);
        return Problem::None;
    }
};
