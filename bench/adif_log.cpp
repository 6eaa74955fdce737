// The operator's ADIF log at the size of a busy station's: a file of QSOS records as a logger exports them
// (two dozen fields each, a DXCC field on most, CW, SSB and FT8, QSL and LoTW flags), then read as the
// program reads it, several times, with the time of each read and the memory it cost.
//   adif_log make FILE [QSOS]    writes the log (100,000 QSOs by default)
//   adif_log read FILE [RUNS]    reads it RUNS times (5): wall time each, median, peak RSS growth
// The entities and calls come from the system's country file. The first QSOs give every entity of the
// generated spot stream (bench/spot_stream.cpp) CW on every band, as a log of this size would.
#include "country/country_file.h"
#include "country/country_table.h"
#include "country/entity.h"
#include "country/log_reader.h"
#include "country/worked_index.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace {

// kB from /proc/self/status ("VmRSS", "VmHWM").
long statusKb(const char *key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').first().toLong();
    }
    return -1;
}

QByteArray field(const char *name, const QByteArray &value)
{
    return '<' + QByteArray(name) + ':' + QByteArray::number(value.size()) + '>' + value + ' ';
}

int make(const QString &path, int qsos)
{
    const auto table = CountryFile::load(QStringLiteral("/usr/share/hamradio-files/cty.csv"));
    if (!table)
        return 1;
    std::vector<const Entity *> entities;
    for (const Entity &entity : table->entities()) {
        if (!entity.waeOnly && entity.dxcc > 0)
            entities.push_back(&entity);
    }
    static constexpr std::array<const char *, 12> kStream{"DL", "K",  "W",  "G", "F",  "OK",
                                                          "SP", "JA", "UA", "I", "EA", "VE"};
    static constexpr std::array<const char *, 11> kBands{"160m", "80m", "60m", "40m", "30m", "20m",
                                                         "17m",  "15m", "12m", "10m", "6m"};
    static constexpr std::array<const char *, 11> kFreqs{"1.825",  "3.525",  "5.354",  "7.025",
                                                         "10.115", "14.025", "18.080", "21.025",
                                                         "24.895", "28.025", "50.090"};
    QRandomGenerator random(20261207);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    out.write("ADIF export of the benchmark\n<ADIF_VER:5>3.1.4 <PROGRAMID:10>adif_bench <EOH>\n");
    for (int i = 0; i < qsos; ++i) {
        const bool cover = i < int(kStream.size() * 10);
        QByteArray prefix;
        int dxcc = 0;
        int band = cover ? i % 10 : int(random.bounded(11));
        if (cover) {
            prefix = kStream[std::size_t(i / 10)];
        } else {
            const Entity *entity = entities[random.bounded(quint32(entities.size()))];
            prefix = entity->primaryPrefix.section(u'/', 0, 0).toLatin1();
            dxcc = entity->dxcc;
        }
        QByteArray call = prefix + char('0' + random.bounded(10));
        for (int l = 0; l < 3; ++l)
            call += char('A' + random.bounded(26));
        const quint32 modeRoll = random.bounded(10);
        const QByteArray mode = cover || modeRoll < 6 ? "CW" : modeRoll < 9 ? "SSB" : "FT8";
        QByteArray record;
        record += field("CALL", call);
        record += field("QSO_DATE", "20" + QByteArray::number(10 + i % 16) + "0612");
        record += field("TIME_ON", "1234");
        record += field("TIME_OFF", "1236");
        record += field("BAND", kBands[std::size_t(band)]);
        record += field("FREQ", kFreqs[std::size_t(band)]);
        record += field("MODE", mode);
        record += field("RST_SENT", mode == "CW" ? "599" : "59");
        record += field("RST_RCVD", mode == "CW" ? "579" : "57");
        record += field("NAME", i % 7 ? "Hans" : "J\xc3\xbcrgen");
        record += field("QTH", "Somewhere near the river");
        record += field("GRIDSQUARE", "JO62qm");
        // Three in ten records lack the DXCC field: their call is resolved.
        if (dxcc > 0 && random.bounded(10) >= 3)
            record += field("DXCC", QByteArray::number(dxcc));
        record += field("CQZ", "14");
        record += field("ITUZ", "28");
        record += field("CONT", "EU");
        record += field("QSL_SENT", "Y");
        record += field("QSL_RCVD", random.bounded(10) < 3 ? "Y" : "N");
        record += field("LOTW_QSL_SENT", "Y");
        record += field("LOTW_QSL_RCVD", random.bounded(10) < 4 ? "Y" : "N");
        record += field("TX_PWR", "100");
        record += field("STATION_CALLSIGN", "DL0BNC");
        record += field("OPERATOR", "DL0BNC");
        record += field("COMMENT", "tnx fer QSO, gl es 73 <3");
        record += "<EOR>\n";
        out.write(record);
    }
    std::printf("%s: %d QSOs, %lld bytes\n", qPrintable(path), qsos, static_cast<long long>(out.size()));
    return 0;
}

int read(const QString &path, int runs)
{
    const auto table = CountryFile::load(QStringLiteral("/usr/share/hamradio-files/cty.csv"));
    if (!table)
        return 1;
    const long before = statusKb("VmRSS:");
    std::vector<double> ms;
    std::atomic<bool> stop = false;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const LogReadResult result = LogReader::read(path, *table, stop);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        if (!result.index) {
            std::printf("read failed: %s\n", qPrintable(result.error));
            return 1;
        }
        std::printf("run %d: %.1f ms, %lld records, %d CW QSOs, %d entities in CW\n", run + 1, ms.back(),
                    static_cast<long long>(result.records), result.index->cwQsoCount(),
                    result.index->entityCount(false));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("median %.1f ms; RSS before %ld kB, peak %ld kB: growth %ld kB\n", ms[ms.size() / 2], before,
                statusKb("VmHWM:"), statusKb("VmHWM:") - before);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QStringLiteral("make"))
        return make(args[2], args.size() > 3 ? args[3].toInt() : 100000);
    if (args.size() >= 3 && args[1] == QStringLiteral("read"))
        return read(args[2], args.size() > 3 ? args[3].toInt() : 5);
    std::fprintf(stderr, "usage: adif_log make FILE [QSOS] | read FILE [RUNS]\n");
    return 2;
}
