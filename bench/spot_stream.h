#pragma once

#include <QByteArray>
#include <QStringList>

// A contest-weekend-like RBN stream, the same for the same seed: mostly CW on the busy bands, some
// RTTY and FT8, a few portable stations, and now and then a call of the watch list.
struct SpotStream {
    // The 101 calls the benchmarks put on the alarm list.
    static QStringList watchList();
    // count lines, each a standard RBN line ended by CR LF.
    static QByteArray generate(int count, quint32 seed = 20261206);
};
