#pragma once

#include "app/message_sink.h"
#include "model/json_line.h"

#include <QByteArray>
#include <QObject>

#include <initializer_list>

class AppCore;
class QIODevice;

// Headless mode's output: every event of the program as one JSON object per line. The field names and texts
// are a public interface read by scripts; keep them stable. Keys come in alphabetical order, strings are
// escaped as QJsonDocument escapes them.
//
// On a file or pipe every write is a system call, so the events of one burst of work (one arrival from the
// server, say) are gathered and written together when the event loop is about to wait again, or once
// 64 KiB have gathered; nothing is ever held back while the program waits. Other devices, and a thread
// without an event loop, get every event at once.
class JsonEventWriter final : public QObject, public MessageSink {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxGathered = qsizetype{64} * 1024;

    explicit JsonEventWriter(QIODevice &out, QObject *parent = nullptr);
    ~JsonEventWriter() override;

    // Subscribes to every event source of the core.
    void attach(AppCore &core);

    // A message box's text becomes a "message" event.
    void show(const QString &text) override;

    // Writes the gathered events now.
    void flush();

private:
    // The fields come with their keys in alphabetical order.
    void write(std::initializer_list<JsonLine::Field> fields);
    // An event was appended to m_pending.
    void written();

    QIODevice &m_out;
    QByteArray m_pending; // events not yet written
    // True on a file or pipe in a thread with an event loop: events wait there until the loop is about to
    // wait itself.
    bool m_flushBeforeWaiting = false;
};
