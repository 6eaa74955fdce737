#pragma once

#include "app/message_sink.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QObject>
#include <QStringView>

#include <initializer_list>
#include <variant>

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
    // One field of an event: a text or a whole number.
    struct Field {
        QLatin1StringView key;
        std::variant<QStringView, int> value;
    };

    // The fields come with their keys in alphabetical order. Built by hand: QJsonObject and QJsonDocument
    // cost about 20,000 instructions an event, and a contest burst raises thousands of portable alarms.
    void write(std::initializer_list<Field> fields);

    QIODevice &m_out;
    QByteArray m_pending; // events not yet written
    // True on a file or pipe in a thread with an event loop: events wait there until the loop is about to
    // wait itself.
    bool m_flushBeforeWaiting = false;
};
