#include "app/working_folder.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Through symbolic links ($HOME may be one), falling back to the cleaned text for a folder that is gone.
QString canonicalFolder(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

} // namespace

QString chooseWorkingFolder(const QString &givenDir, const QString &currentDir, const QString &homeDir,
                            const QString &xdgDataHome)
{
    if (!givenDir.isEmpty())
        return givenDir;
    const QString current = canonicalFolder(currentDir);
    if (current != canonicalFolder(homeDir) && current != QStringLiteral("/"))
        return currentDir;
    const QString dataHome = QDir::isAbsolutePath(xdgDataHome)
                                 ? xdgDataHome
                                 : QDir(homeDir).filePath(QStringLiteral(".local/share"));
    return QDir(dataHome).filePath(QStringLiteral("vemrok-alarm"));
}
