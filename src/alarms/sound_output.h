#pragma once

#include <QObject>
#include <QString>

class SoundPlayer;

// The one door every sound goes through, so each request is announced (headless "sound" event)
// whether or not a file or an audio device exists.
class SoundOutput final : public QObject {
    Q_OBJECT
public:
    explicit SoundOutput(SoundPlayer &player, QObject *parent = nullptr);

    void play(const QString &fileName);

signals:
    void soundRequested(const QString &fileName);

private:
    SoundPlayer &m_player;
};
