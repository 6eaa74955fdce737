#pragma once

#include <QFile>
#include <QString>

// The whole file; "<none>" when it cannot be read, so a missing file never passes for an empty one.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

// Writes bytes as the whole file; false when that failed.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
