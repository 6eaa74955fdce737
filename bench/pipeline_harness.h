#pragma once

#include "alarms/sound_player.h"
#include "app/app_core.h"
#include "app/message_sink.h"
#include "model/alarm_list.h"
#include "model/clock.h"
#include "model/settings.h"
#include "spot_stream.h"
#include "spots/line_framer.h"

#include <QDir>

// The program's core, set up as under load: 101 watched calls, "show all" and portable alarms on.
// Sound, messages and the clock are silent stand-ins so only the pipeline is measured.
struct PipelineHarness {
    struct NullSound final : SoundPlayer {
        void play(const QString &) override {}
    };
    struct NullMessages final : MessageSink {
        void show(const QString &) override {}
    };
    struct FixedClock final : Clock {
        QString timeText() const override { return QStringLiteral("12:00:00"); }
        QString dateText() const override { return QStringLiteral("06.12.2026"); }
        QDateTime nowUtc() const override { return {}; }
    };

    NullSound sound;
    NullMessages messages;
    FixedClock clock;
    AppCore core{QDir(QStringLiteral("/nonexistent")), sound, messages, clock};
    LineFramer framer;

    PipelineHarness()
    {
        core.settings().applyDefaults();
        core.settings().setOn(Settings::Switch::PortAl, true);
        AlarmList &list = core.alarmList();
        for (const QString &call : SpotStream::watchList()) {
            list.appendSlot();
            list.setEntry(list.lastCallNr(), AlarmEntry{call,
                                                        call + QStringLiteral(" is on"),
                                                        QStringLiteral("trumpet1.wav"),
                                                        {},
                                                        {},
                                                        {},
                                                        QStringLiteral("on"),
                                                        QStringLiteral("0"),
                                                        QStringLiteral("30")});
        }
    }

    // Bytes as they arrive from the socket, through framing, decoding and the whole pipeline.
    void feed(QByteArrayView bytes)
    {
        framer.feed(bytes, [this](QByteArrayView raw) { core.processLine(decodeLine(raw)); });
    }
};
