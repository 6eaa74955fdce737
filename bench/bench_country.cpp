// Google Benchmark: reading the country file of hamradio-files in both forms, and resolving calls as the
// receive path does (the spotter for $SPOTTERCONT, the spotted call for the events).
#include "country/country_file.h"
#include "country/country_table.h"
#include "spot_stream.h"
#include "spots/spot_parser.h"

#include <QDir>
#include <QStringList>

#include <benchmark/benchmark.h>

namespace {

const QDir kSystem(CountryFile::kSystemFolder);

void loadFile(benchmark::State &state, const QString &name)
{
    for (auto _ : state) {
        const auto table = CountryFile::load(kSystem.filePath(name));
        benchmark::DoNotOptimize(table.get());
    }
}
void BM_LoadCsv(benchmark::State &state)
{
    loadFile(state, CountryFile::kCsvName);
}
void BM_LoadDat(benchmark::State &state)
{
    loadFile(state, CountryFile::kDatName);
}

// The calls of a generated contest-like stream, spotters and spotted alike.
void BM_Resolve(benchmark::State &state)
{
    const auto table = CountryFile::load(kSystem.filePath(CountryFile::kCsvName));
    QStringList calls;
    for (const QString &line : QString::fromUtf8(SpotStream::generate(10'000)).split(u"\r\n"_qs)) {
        if (const auto spot = parseSpot(line)) {
            calls << spot->call << line.section(u' ', 2, 2).section(u'-', 0, 0);
        }
    }
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table->resolve(calls[i]));
        i = (i + 1) % calls.size();
    }
}

} // namespace

BENCHMARK(BM_LoadCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resolve);
BENCHMARK_MAIN();
