// Writes a generated contest-like RBN stream: make_spot_stream LINES FILE [WATCHLIST]
// With WATCHLIST it also writes the benchmarks' 101 watched calls there, one a line.
#include "spot_stream.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: make_spot_stream LINES FILE [WATCHLIST]\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    const int lines = std::atoi(argv[1]);
    constexpr int kBlock = 100'000;
    for (int done = 0; done < lines; done += kBlock)
        file.write(SpotStream::generate(std::min(kBlock, lines - done), quint32(20261206 + done)));
    if (argc == 4) {
        QFile watch(QString::fromLocal8Bit(argv[3]));
        if (!watch.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        for (const QString &call : SpotStream::watchList())
            watch.write(call.toLatin1() + '\n');
    }
    return 0;
}
