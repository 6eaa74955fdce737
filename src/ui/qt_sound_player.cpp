#include "ui/qt_sound_player.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

QtSoundPlayer::QtSoundPlayer(const QDir &workDir, QObject *parent) : QObject(parent), m_workDir(workDir) {}

QStringList QtSoundPlayer::bundledSoundFolders()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    return {appDir + QStringLiteral("/sounds"), appDir,
            QDir::cleanPath(appDir + QStringLiteral("/../share/vemrok-alarm/sounds"))};
}

QString QtSoundPlayer::resolve(const QString &fileName) const
{
    if (fileName.trimmed().isEmpty())
        return {};
    const QFileInfo inWorkDir(m_workDir.filePath(fileName));
    if (inWorkDir.isFile())
        return inWorkDir.absoluteFilePath();
    if (QFileInfo(fileName).isAbsolute())
        return {};
    for (const QString &folder : bundledSoundFolders()) {
        const QFileInfo bundled(QDir(folder).filePath(fileName));
        if (bundled.isFile())
            return bundled.absoluteFilePath();
    }
    return {};
}

SoundPlayer::Problem QtSoundPlayer::problemWith(const QString &fileName) const
{
    if (fileName.trimmed().isEmpty())
        return Problem::None;
    if (resolve(fileName).isEmpty())
        return Problem::FileMissing;
    if (QMediaDevices::audioOutputs().isEmpty())
        return Problem::NoDevice;
    return Problem::None;
}

void QtSoundPlayer::play(const QString &fileName)
{
    const QString path = resolve(fileName);
    if (path.isEmpty())
        return;
    QSoundEffect *&effect = m_effects[path];
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(path));
    }
    // A new alarm cuts off the same sound still playing rather than queueing behind it.
    effect->stop();
    effect->play();
}
