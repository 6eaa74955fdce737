#include "app/working_folder.h"

#include <QDir>

QString chooseWorkingFolder(const QString &givenDir, const QString &currentDir, const QString &homeDir,
                            const QString &xdgDataHome)
{
    if (!givenDir.isEmpty())
        return givenDir;
    const QString current = QDir::cleanPath(currentDir);
    if (current != QDir::cleanPath(homeDir) && current != QStringLiteral("/"))
        return currentDir;
    const QString dataHome = QDir::isAbsolutePath(xdgDataHome)
                                 ? xdgDataHome
                                 : QDir(homeDir).filePath(QStringLiteral(".local/share"));
    return QDir(dataHome).filePath(QStringLiteral("vemrok-alarm"));
}
