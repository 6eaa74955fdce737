#pragma once

#include "alarms/sound_player.h"

#include <QObject>
#include <QSet>
#include <QString>

// The one door every sound goes through, so each request is announced (headless "sound" event)
// whether or not a file or an audio device exists.
class SoundOutput final : public QObject {
    Q_OBJECT
public:
    explicit SoundOutput(SoundPlayer &player, QObject *parent = nullptr);

    void play(const QString &fileName);

signals:
    void soundRequested(const QString &fileName);
    // A sound stays silent for a reason the operator can mend; said once per missing file and once for
    // the missing audio device, so a watched call spotted all evening does not repeat it.
    void problemFound(const QString &text);

private:
    SoundPlayer &m_player;
    QSet<QString> m_missingTold;
    bool m_noDeviceTold = false;
};
