#include "alarms/sound_output.h"

#include "alarms/sound_player.h"

SoundOutput::SoundOutput(SoundPlayer &player, QObject *parent) : QObject(parent), m_player(player) {}

void SoundOutput::play(const QString &fileName)
{
    emit soundRequested(fileName);
    m_player.play(fileName);
}
