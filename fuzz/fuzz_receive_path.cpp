// The receive path from bytes to JSON events: cut into arrivals, framed, decoded, parsed, filtered, matched
// against a full alarm list. Input: byte 0 switches, byte 1 speed threshold, bytes 2-3 how the stream is
// cut, byte 4 the length of a watched call pattern that follows (slot 0 of the list), then the stream.
#include "alarms/alarm_notifier.h"
#include "app/json_event_writer.h"
#include "fuzz_support.h"
#include "pipeline_harness.h"
#include "spots/display_filter.h"
#include "spots/spot_parser.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static PipelineHarness harness;
    static QBuffer events;
    static JsonEventWriter writer(events);
    AppCore &core = harness.core;
    if (!events.isOpen() && events.open(QIODevice::ReadWrite))
        writer.attach(core);
    FuzzInput input{data, size};
    const uint8_t flags = input.byte();
    const uint8_t speed = input.byte();
    quint32 cutSeed = input.byte();
    const int maxPiece = input.byte() + 1;
    QString pattern;
    for (int i = input.byte() % 24; i > 0; --i)
        pattern += QChar(char16_t(input.byte()));
    const QByteArrayView stream = input.rest();

    // Each bit turns one switch from its default; a threshold may be no whole number.
    using S = Settings::Switch;
    Settings &settings = core.settings();
    settings.applyDefaults();
    const S bits[] = {S::DxMsgAll, S::PortAl, S::QrqMsg, S::PortMsg, S::AlAll, S::OpAl, S::SoundEn};
    for (int i = 0; i < 7; ++i)
        settings.setOn(bits[i], bool(flags >> i & 1) != settings.isOn(bits[i]));
    if (flags & 0x80) {
        settings.setOn(Settings::displaySwitch(static_cast<Band>(speed % kBandCount)), true);
        settings.setOn(Settings::alarmSwitch(static_cast<Band>((speed / 16) % kBandCount)), true);
    }
    settings.setText(Settings::Text::QrqSpeed,
                     speed < 200 ? QString::number(speed % 100) : u" 2x"_s.repeated(speed % 3));
    AlarmList &list = core.alarmList();
    list.edit(0, [&](AlarmEntry &entry) { entry.call = pattern.isEmpty() ? u"DL0AAA"_s : pattern; });
    for (int i = 0; i <= list.lastCallNr(); ++i)
        list.edit(i, [](AlarmEntry &entry) { entry.blockTimer = u"0"_s; });
    for (const auto kind : {AlarmNotifier::Kind::Call, AlarmNotifier::Kind::Portable})
        core.notifier().hide(kind);
    harness.framer.clear();
    events.buffer().clear();
    events.seek(0);

    // The same stream in one piece gives the lines every other cut must give.
    QList<QByteArray> whole, framed;
    LineFramer reference;
    reference.feed(stream, [&](QByteArrayView raw) { whole.append(raw.toByteArray()); });
    QStringList expectedShown;
    for (qsizetype from = 0, piece = 0; from < stream.size(); from += piece) {
        piece = nextPiece(cutSeed, maxPiece, stream.size() - from);
        harness.framer.feed(stream.sliced(from, piece), [&](QByteArrayView raw) {
            FUZZ_CHECK(raw.size() <= LineFramer::kMaxLineLength && !raw.contains('\n'));
            framed.append(raw.toByteArray());
            const QString line = decodeLine(raw);
            FUZZ_CHECK(printable(line));
            const qsizetype spotStart = spotRecordStart(line);
            const QString spotLine = spotStart > 0 ? line.sliced(spotStart) : line;
            if (const auto spot = parseSpot(spotLine); spot && passesDisplayFilter(*spot, settings))
                expectedShown.append(spotLine);
            core.processLine(line);
        });
        FUZZ_CHECK(harness.framer.pendingSize() <= LineFramer::kMaxLineLength);
    }
    FUZZ_CHECK(framed == whole && harness.framer.pendingSize() == reference.pendingSize());

    // Every event is one JSON object on a line of its own; the shown lines come out as they were shown.
    QStringList shown;
    QList<QByteArray> eventLines = events.data().split('\n');
    FUZZ_CHECK(eventLines.takeLast().isEmpty());
    for (const QByteArray &eventLine : eventLines) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(eventLine, &error);
        FUZZ_CHECK(error.error == QJsonParseError::NoError && doc.isObject());
        if (doc.object().value(u"event"_s).toString() == u"spot"_s)
            shown.append(doc.object().value(u"line"_s).toString());
    }
    FUZZ_CHECK(shown == expectedShown);
    return 0;
}
