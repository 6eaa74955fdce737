// Google Benchmark: the receive path from bytes to decisions, whole and stage by stage, over a
// generated contest-like stream.
#include "alarms/alarm_matcher.h"
#include "app/json_event_writer.h"
#include "pipeline_harness.h"
#include "spots/display_filter.h"
#include "spots/message_log.h"
#include "spots/spot_parser.h"

#include <QBuffer>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

constexpr int kLines = 100'000;

const QByteArray &stream()
{
    static const QByteArray bytes = SpotStream::generate(kLines);
    return bytes;
}

QStringList decodedLines()
{
    QStringList lines;
    LineFramer framer;
    framer.feed(stream(), [&lines](QByteArrayView raw) { lines.append(decodeLine(raw)); });
    return lines;
}

std::vector<Spot> parsedSpots()
{
    std::vector<Spot> spots;
    for (const QString &line : decodedLines()) {
        if (auto spot = parseSpot(line))
            spots.push_back(std::move(*spot));
    }
    return spots;
}

void setLines(benchmark::State &state, qsizetype lines)
{
    state.SetItemsProcessed(state.iterations() * lines);
    state.SetBytesProcessed(state.iterations() * stream().size());
}

void BM_WholePipeline(benchmark::State &state)
{
    PipelineHarness harness;
    constexpr qsizetype kChunk = 64 * 1024;
    for (auto _ : state) {
        for (qsizetype at = 0; at < stream().size(); at += kChunk)
            harness.feed(QByteArrayView(stream()).sliced(at, std::min(kChunk, stream().size() - at)));
        harness.core.tickSecond();
    }
    setLines(state, kLines);
}
BENCHMARK(BM_WholePipeline)->Unit(benchmark::kMillisecond);

// The headless program's work: the whole path plus one JSON line per event (spot, alarms, stamps).
void BM_WholePipelineWithEvents(benchmark::State &state)
{
    PipelineHarness harness;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    JsonEventWriter writer(out);
    writer.attach(harness.core);
    constexpr qsizetype kChunk = 64 * 1024;
    for (auto _ : state) {
        for (qsizetype at = 0; at < stream().size(); at += kChunk)
            harness.feed(QByteArrayView(stream()).sliced(at, std::min(kChunk, stream().size() - at)));
        harness.core.tickSecond();
        out.buffer().resize(0);
        out.seek(0);
    }
    setLines(state, kLines);
}
BENCHMARK(BM_WholePipelineWithEvents)->Unit(benchmark::kMillisecond);

void BM_Framing(benchmark::State &state)
{
    LineFramer framer;
    qsizetype total = 0;
    for (auto _ : state) {
        framer.feed(stream(), [&total](QByteArrayView raw) { total += raw.size(); });
        benchmark::DoNotOptimize(total);
    }
    setLines(state, kLines);
}
BENCHMARK(BM_Framing)->Unit(benchmark::kMillisecond);

void BM_FramingAndDecoding(benchmark::State &state)
{
    LineFramer framer;
    for (auto _ : state) {
        framer.feed(stream(), [](QByteArrayView raw) {
            const QString line = decodeLine(raw);
            benchmark::DoNotOptimize(line.constData());
        });
    }
    setLines(state, kLines);
}
BENCHMARK(BM_FramingAndDecoding)->Unit(benchmark::kMillisecond);

// The receive path's parse: the fields as views into the line, nothing copied.
void BM_Parsing(benchmark::State &state)
{
    const QStringList lines = decodedLines();
    for (auto _ : state) {
        for (const QString &line : lines)
            benchmark::DoNotOptimize(parseSpotView(line));
    }
    setLines(state, kLines);
}
BENCHMARK(BM_Parsing)->Unit(benchmark::kMillisecond);

// The public parse into a Spot of its own: five field copies per spot on top of the above.
void BM_ParsingToSpot(benchmark::State &state)
{
    const QStringList lines = decodedLines();
    for (auto _ : state) {
        for (const QString &line : lines)
            benchmark::DoNotOptimize(parseSpot(line));
    }
    setLines(state, kLines);
}
BENCHMARK(BM_ParsingToSpot)->Unit(benchmark::kMillisecond);

void BM_Matching101(benchmark::State &state)
{
    PipelineHarness harness;
    const std::vector<Spot> spots = parsedSpots();
    for (auto _ : state) {
        for (const Spot &spot : spots) {
            harness.core.matcher().checkPortableAlarm(spot);
            harness.core.matcher().matchAlarmList(spot);
        }
        harness.core.tickSecond();
    }
    setLines(state, kLines);
}
BENCHMARK(BM_Matching101)->Unit(benchmark::kMillisecond);

void BM_Matching101Wildcards(benchmark::State &state)
{
    PipelineHarness harness;
    AlarmList &list = harness.core.alarmList();
    for (int i = 0; i <= list.lastCallNr(); ++i)
        list.edit(i, [](AlarmEntry &entry) { entry.call += QStringLiteral("*"); });
    const std::vector<Spot> spots = parsedSpots();
    for (auto _ : state) {
        for (const Spot &spot : spots)
            harness.core.matcher().matchAlarmList(spot);
        harness.core.tickSecond();
    }
    setLines(state, kLines);
}
BENCHMARK(BM_Matching101Wildcards)->Unit(benchmark::kMillisecond);

void BM_DisplayFilter(benchmark::State &state)
{
    Settings settings;
    settings.applyDefaults();
    settings.setOn(Settings::Switch::DxMsgAll, false);
    settings.setOn(Settings::Switch::DxEnable40, true);
    settings.setOn(Settings::Switch::DxEnable20, true);
    settings.setOn(Settings::Switch::QrqMsg, true);
    const std::vector<Spot> spots = parsedSpots();
    int shown = 0;
    for (auto _ : state) {
        for (const Spot &spot : spots)
            shown += passesDisplayFilter(spot, settings) ? 1 : 0;
        benchmark::DoNotOptimize(shown);
    }
    setLines(state, kLines);
}
BENCHMARK(BM_DisplayFilter)->Unit(benchmark::kMillisecond);

void BM_MessageLog(benchmark::State &state)
{
    MessageLog log;
    const QStringList lines = decodedLines();
    for (auto _ : state) {
        for (const QString &line : lines)
            log.append(line);
    }
    setLines(state, kLines);
}
BENCHMARK(BM_MessageLog)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
