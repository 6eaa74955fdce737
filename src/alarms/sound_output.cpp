#include "alarms/sound_output.h"

SoundOutput::SoundOutput(SoundPlayer &player, QObject *parent) : QObject(parent), m_player(player) {}

void SoundOutput::play(const QString &fileName)
{
    emit soundRequested(fileName);
    switch (m_player.problemWith(fileName)) {
    case SoundPlayer::Problem::None:
        break;
    case SoundPlayer::Problem::FileMissing:
        if (!m_missingTold.contains(fileName)) {
            m_missingTold.insert(fileName);
            emit problemFound(QStringLiteral("sound file \"%1\" not found").arg(fileName));
        }
        break;
    case SoundPlayer::Problem::NoDevice:
        if (!m_noDeviceTold) {
            m_noDeviceTold = true;
            emit problemFound(QStringLiteral("no audio device: sounds are not heard"));
        }
        break;
    }
    m_player.play(fileName);
}
