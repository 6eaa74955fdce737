// The receive path from bytes to events: the server's bytes cut into arrivals at points the input chooses,
// framed, decoded, parsed, filtered, matched against a full alarm list, and written as headless JSON events.
//
// Input: byte 0 switches, byte 1 speed threshold, bytes 2-3 how the stream is cut into arrivals, byte 4 the
// length of a watched call pattern that follows (slot 0 of the list), then the stream itself.
#include "alarms/alarm_notifier.h"
#include "alarms/spot_pipeline.h"
#include "app/json_event_writer.h"
#include "fuzz_support.h"
#include "pipeline_harness.h"
#include "spots/display_filter.h"
#include "spots/spot.h"
#include "spots/spot_parser.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct ReceivePath {
    PipelineHarness harness;
    QBuffer events;
    JsonEventWriter writer{events};

    ReceivePath()
    {
        events.open(QIODevice::ReadWrite);
        writer.attach(harness.core);
    }
};

ReceivePath &receivePath()
{
    static ReceivePath path;
    return path;
}

void applySwitches(Settings &settings, uint8_t flags, uint8_t speed)
{
    using S = Settings::Switch;
    settings.applyDefaults();
    // Each bit turns one switch from its default.
    const S bits[] = {S::DxMsgAll, S::PortAl, S::QrqMsg, S::PortMsg, S::AlAll, S::OpAl, S::SoundEn};
    for (int i = 0; i < 7; ++i)
        settings.setOn(bits[i], bool(flags >> i & 1) != settings.isOn(bits[i]));
    if (flags & 0x80) {
        settings.setOn(Settings::displaySwitch(static_cast<Band>(speed % kBandCount)), true);
        settings.setOn(Settings::alarmSwitch(static_cast<Band>((speed / 16) % kBandCount)), true);
    }
    // Thresholds that are not whole numbers must be handled too.
    settings.setText(Settings::Text::QrqSpeed,
                     speed < 200 ? QString::number(speed % 100) : QStringLiteral(" 2x").repeated(speed % 3));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ReceivePath &path = receivePath();
    AppCore &core = path.harness.core;
    FuzzInput input(data, size);
    const uint8_t flags = input.byte();
    const uint8_t speed = input.byte();
    quint32 cutSeed = input.byte();
    const int maxPiece = input.byte() + 1;
    const int patternLength = input.byte() % 24;
    QString pattern;
    for (int i = 0; i < patternLength; ++i)
        pattern += QChar(char16_t(input.byte()));
    const QByteArrayView stream(input.rest(), input.restSize());

    applySwitches(core.settings(), flags, speed);
    AlarmList &list = core.alarmList();
    list.edit(
        0, [&](AlarmEntry &entry) { entry.call = patternLength > 0 ? pattern : QStringLiteral("DL0AAA"); });
    for (int i = 0; i <= list.lastCallNr(); ++i)
        list.edit(i, [](AlarmEntry &entry) { entry.blockTimer = QStringLiteral("0"); });
    core.notifier().hide(AlarmNotifier::Kind::Call);
    core.notifier().hide(AlarmNotifier::Kind::Portable);
    path.harness.framer.clear();
    path.events.buffer().clear();
    path.events.seek(0);

    // The same stream in one piece gives the lines every other cut must give.
    QList<QByteArray> whole;
    LineFramer reference;
    reference.feed(stream, [&](QByteArrayView raw) { whole.append(raw.toByteArray()); });

    QList<QByteArray> framed;
    QStringList expectedShown;
    qsizetype from = 0;
    while (from < stream.size()) {
        qsizetype piece = stream.size() - from;
        if (cutSeed != 0) {
            cutSeed ^= cutSeed << 13;
            cutSeed ^= cutSeed >> 17;
            cutSeed ^= cutSeed << 5;
            piece = qMin<qsizetype>(piece, 1 + cutSeed % quint32(maxPiece));
        }
        path.harness.framer.feed(stream.sliced(from, piece), [&](QByteArrayView raw) {
            FUZZ_CHECK(raw.size() <= LineFramer::kMaxLineLength && !raw.contains('\n'));
            framed.append(raw.toByteArray());
            const QString line = decodeLine(raw);
            for (const QChar c : line)
                FUZZ_CHECK((c.unicode() >= 0x20 || c == u'\t') && c.unicode() != 0x7F);
            const qsizetype spotStart = spotRecordStart(line);
            const QString spotLine = spotStart > 0 ? line.sliced(spotStart) : line;
            if (const auto spot = parseSpot(spotLine); spot && passesDisplayFilter(*spot, core.settings()))
                expectedShown.append(spotLine);
            core.processLine(line);
        });
        FUZZ_CHECK(path.harness.framer.pendingSize() <= LineFramer::kMaxLineLength);
        from += piece;
    }
    FUZZ_CHECK(framed == whole);
    FUZZ_CHECK(path.harness.framer.pendingSize() == reference.pendingSize());

    // Every event is one JSON object on a line of its own; the shown lines come out as they were shown.
    QStringList shown;
    const QList<QByteArray> eventLines = path.events.data().split('\n');
    FUZZ_CHECK(eventLines.last().isEmpty());
    for (qsizetype i = 0; i + 1 < eventLines.size(); ++i) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(eventLines[i], &error);
        FUZZ_CHECK(error.error == QJsonParseError::NoError && doc.isObject());
        const QJsonObject event = doc.object();
        if (event.value(QStringLiteral("event")).toString() == QStringLiteral("spot"))
            shown.append(event.value(QStringLiteral("line")).toString());
    }
    FUZZ_CHECK(shown == expectedShown);
    return 0;
}
