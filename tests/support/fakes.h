#pragma once

#include "alarms/sound_player.h"
#include "app/message_sink.h"
#include "model/clock.h"

#include <QStringList>

using namespace Qt::StringLiterals;

// A clock the test sets; nothing reads the wall clock.
class FakeClock final : public Clock {
public:
    QString time = u"12:34:56"_s;
    QString date = u"06.12.2026"_s;
    QDateTime utc = QDateTime(QDate(2026, 12, 6), QTime(12, 34, 56), Qt::UTC);

    QString timeText() const override { return time; }
    QString dateText() const override { return date; }
    QDateTime nowUtc() const override { return utc; }
};

// Stands in for the audio device: remembers what was to be played.
class RecordingSoundPlayer final : public SoundPlayer {
public:
    QStringList played;
    void play(const QString &fileName) override { played.append(fileName); }
};

// Stands in for the message box: remembers the texts shown.
class RecordingMessageSink final : public MessageSink {
public:
    QStringList shown;
    void show(const QString &text) override { shown.append(text); }
};
