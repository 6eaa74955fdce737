#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

// The server data log "log.txt": every received byte, exactly as read, nothing added. Each append goes
// straight to the operating system, so a crash of the program loses nothing already received.
class ServerLog final {
public:
    ServerLog() = default;
    ServerLog(const ServerLog &) = delete;
    ServerLog &operator=(const ServerLog &) = delete;

    // Opens the file for output, emptying it. On failure the log stays closed and errorString() says why.
    bool open(const QString &path);
    // Appends the bytes when the log is open; returns false when that write failed (disk full, ...).
    bool append(QByteArrayView bytes);
    void close();
    // LogOn.
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }
    QString fileName() const { return m_file.fileName(); }

private:
    QFile m_file;
};
