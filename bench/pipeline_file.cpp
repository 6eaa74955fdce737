// Runs the whole receive path over a file of spot lines, read in 1 MiB chunks as from a socket, and
// prints how many lines were shown; for profiling the receive path with callgrind.
// With --events it writes the headless program's JSON event stream to stdout instead (the count goes to
// stderr), so the event writer's share can be measured and profiled. With the environment variable
// VEMROK_NEEDED_LOG naming an ADIF log, needed alarms are on against that log and the system's country file.
#include "alarms/needed_alarm.h"
#include "alarms/spot_pipeline.h"
#include "app/json_event_writer.h"
#include "country/country_file.h"
#include "country/country_table.h"
#include "country/log_reader.h"
#include "pipeline_harness.h"
#include "spots/message_log.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool events = argc == 3 && std::strcmp(argv[1], "--events") == 0;
    if (argc != 2 && !events) {
        std::fprintf(stderr, "usage: pipeline_file [--events] FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[argc - 1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", argv[argc - 1]);
        return 1;
    }
    PipelineHarness harness;
    if (const QString log = qEnvironmentVariable("VEMROK_NEEDED_LOG"); !log.isEmpty()) {
        const auto table = CountryFile::load(CountryFile::kSystemFolder + QStringLiteral("/cty.csv"));
        const LogReadResult read = table ? LogReader::read(log, *table, false) : LogReadResult{};
        if (!read.index) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(log));
            return 1;
        }
        harness.core.neededAlarm().setCountryTable(table);
        harness.core.neededAlarm().setWorkedIndex(read.index);
        harness.core.settings().setOn(Settings::Switch::Needed, true);
    }
    long long shown = 0;
    QObject::connect(&harness.core.pipeline(), &SpotPipeline::spotShown, [&shown] { ++shown; });
    QFile out;
    std::unique_ptr<JsonEventWriter> writer;
    if (events) {
        if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
            return 1;
        writer = std::make_unique<JsonEventWriter>(out);
        writer->attach(harness.core);
    }
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;) {
        harness.feed(QByteArrayView(chunk.constData(), got));
        // One read is one arrival: the program writes its events before it reads again.
        if (writer)
            writer->flush();
    }
    std::fprintf(events ? stderr : stdout, "%lld\n", shown);
    return 0;
}
