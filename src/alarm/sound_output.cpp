#include "alarm/sound_output.h"

#include "alarm/sound_player.h"

SoundOutput::SoundOutput(SoundPlayer &player, QObject *parent) : QObject(parent), m_player(player) {}

void SoundOutput::play(const QString &fileName)
{
    emit soundRequested(fileName);
    m_player.play(fileName);
}
