// Runs the whole receive path over a file of spot lines, read in 1 MiB chunks as from a socket, and
// prints how many lines were shown. Timed from outside against grep by bench/vs_grep.sh.
#include "cluster/message_log.h"
#include "cluster/spot_pipeline.h"
#include "pipeline_harness.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pipeline_file FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    PipelineHarness harness;
    long long shown = 0;
    QObject::connect(&harness.core.pipeline(), &SpotPipeline::spotShown, [&shown] { ++shown; });
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;)
        harness.feed(QByteArrayView(chunk.constData(), got));
    std::printf("%lld\n", shown);
    return 0;
}
