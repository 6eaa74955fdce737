#pragma once

#include "alarms/sound_player.h"

#include <QDir>
#include <QHash>
#include <QObject>
#include <QStringList>

class QSoundEffect;

// WAV playback through Qt Multimedia, asynchronous. A name is looked up in the working folder first,
// then in the folders of the sounds that come with the program. Missing or broken files are silent
// here; problemWith() tells why beforehand.
class QtSoundPlayer final : public QObject, public SoundPlayer {
    Q_OBJECT
public:
    explicit QtSoundPlayer(const QDir &workDir, QObject *parent = nullptr);

    void play(const QString &fileName) override;
    // An empty name is no problem: the entry has no sound on purpose.
    Problem problemWith(const QString &fileName) const override;

    // Where a name is looked for after the working folder: beside the executable, and the
    // installed share folder.
    static QStringList bundledSoundFolders();
    // The file that would be played, or empty when none is found.
    QString resolve(const QString &fileName) const;

private:
    QDir m_workDir;
    QHash<QString, QSoundEffect *> m_effects;
};
