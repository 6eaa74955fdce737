#pragma once

#include "app/message_sink.h"

#include <QJsonObject>
#include <QObject>

class AppCore;
class QIODevice;

// Headless mode's output: every event of the program as one JSON object per line, flushed at once.
// The field names and texts are a public interface read by scripts; keep them stable.
class JsonEventWriter final : public QObject, public MessageSink {
    Q_OBJECT
public:
    explicit JsonEventWriter(QIODevice &out, QObject *parent = nullptr);

    // Subscribes to every event source of the core.
    void attach(AppCore &core);

    // A message box's text becomes a "message" event.
    void show(const QString &text) override;

    void write(const QJsonObject &event);

private:
    QIODevice &m_out;
};
