#include "spot_stream.h"

#include <QRandomGenerator>

#include <array>

namespace {

QByteArray callFor(quint32 n)
{
    static constexpr std::array<const char *, 12> kPrefixes{"DL", "K",  "W",  "G", "F",  "OK",
                                                            "SP", "JA", "UA", "I", "EA", "VE"};
    QByteArray call = kPrefixes[n % kPrefixes.size()];
    call += char('0' + (n / 12) % 10);
    for (quint32 v = n / 120, i = 0; i < 3; ++i, v /= 26)
        call += char('A' + v % 26);
    return call;
}

} // namespace

QStringList SpotStream::watchList()
{
    QStringList calls;
    for (quint32 i = 0; i < 101; ++i)
        calls.append(QString::fromLatin1(callFor(i * 97 + 5)));
    return calls;
}

QByteArray SpotStream::generate(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    struct BandPlan {
        int lowKhz;
        int weight;
    };
    static constexpr std::array<BandPlan, 11> kBands{{{1820, 2},
                                                      {3510, 8},
                                                      {5352, 1},
                                                      {7005, 14},
                                                      {10110, 4},
                                                      {14010, 20},
                                                      {18070, 3},
                                                      {21010, 12},
                                                      {24890, 2},
                                                      {28010, 8},
                                                      {50090, 1}}};
    int totalWeight = 0;
    for (const BandPlan &band : kBands)
        totalWeight += band.weight;
    const QStringList watched = watchList();

    QByteArray out;
    out.reserve(qsizetype(count) * 77);
    char line[160];
    for (int i = 0; i < count; ++i) {
        int pick = int(random.bounded(totalWeight));
        const BandPlan *band = kBands.data();
        while (pick >= band->weight)
            pick -= (band++)->weight;
        const double khz = band->lowKhz + random.bounded(60000) / 1000.0;
        QByteArray call;
        const quint32 roll = random.bounded(1000);
        if (roll < 5)
            call = watched.at(int(random.bounded(101))).toLatin1();
        else
            call = callFor(random.bounded(30000));
        if (roll >= 5 && roll < 25)
            call += "/P";
        const quint32 modeRoll = random.bounded(100);
        const char *mode = modeRoll < 85 ? "CW" : modeRoll < 90 ? "RTTY" : "FT8";
        const QByteArray spotter = callFor(random.bounded(300)) + "-#:";
        const int snr = int(random.bounded(40)) + 3;
        const int wpm = int(random.bounded(30)) + 14;
        const int minute = i / 600 % 1440;
        const int length =
            modeRoll < 85
                ? std::snprintf(
                      line, sizeof line, "DX de %-9s %8.1f  %-14s %-4s %3d dB %3d WPM  CQ      %02d%02dZ\r\n",
                      spotter.constData(), khz, call.constData(), mode, snr, wpm, minute / 60, minute % 60)
                : std::snprintf(
                      line, sizeof line, "DX de %-9s %8.1f  %-14s %-4s %3d dB %3d BPS  CQ      %02d%02dZ\r\n",
                      spotter.constData(), khz, call.constData(), mode, snr, 45, minute / 60, minute % 60);
        out.append(line, length);
    }
    return out;
}
