// The login dialogue through the real cluster link: a loopback server writes the input in pieces, each read
// by the link as one arrival, and the lines go on through the whole pipeline. Input: byte 0 switches, byte 1
// how the stream is cut into arrivals (0 = one arrival), byte 2 the largest piece, then the server's bytes.
#include "alarms/spot_pipeline.h"
#include "fuzz_support.h"
#include "link/cluster_link.h"
#include "pipeline_harness.h"
#include "spots/line_framer.h"
#include "spots/spot_parser.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

using namespace std::chrono_literals;

namespace {

const QByteArray kLogin = QByteArrayLiteral("TE0ST\r\nSet Dx Filter mode=CW\r\n");

struct LinkRig {
    PipelineHarness harness;
    ClusterLink &link = harness.core.link();
    QTcpServer server;
    QStringList lines;
    bool lineBeforeLogin = false;

    LinkRig()
    {
        server.listen(QHostAddress::LocalHost);
        // No attempt of its own while an input runs: every connection is made here.
        link.setTiming({.firstRetry = 1h, .maxRetry = 1h, .idleTimeout = 1h});
        // The program's own filter, after a check: a call read from the bytes is the parser's call.
        link.setLineFilter([&pipeline = harness.core.pipeline()](QByteArrayView raw) {
            const QByteArrayView call = spottedCallBytes(raw);
            if (const std::optional<Spot> spot = parseSpot(decodeLine(raw)); spot && !call.isEmpty())
                FUZZ_CHECK(spot->call == QString::fromLatin1(call));
            return pipeline.mayMatter(raw);
        });
        QObject::connect(&link, &ClusterLink::linesReceived, &link, [this](const QString &arrival) {
            lineBeforeLogin |= !link.isLoggedIn();
            lines.append(arrival.split(u'\n'));
            lines.removeLast(); // after the last LF
        });
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static LinkRig r;
    FuzzInput input{data, size};
    const uint8_t flags = input.byte();
    quint32 cutSeed = input.byte();
    const int maxPiece = input.byte() + 1;
    const QByteArrayView stream = input.rest();
    using S = Settings::Switch;
    for (int bit = 0; const S which : {S::DxMsgAll, S::PortAl, S::QrqMsg, S::PortMsg})
        r.harness.core.settings().setOn(which, bool(flags >> bit++ & 1) != (which == S::DxMsgAll));
    r.lines.clear();
    r.lineBeforeLogin = false;

    r.link.start(u"127.0.0.1"_s, r.server.serverPort());
    if (!r.server.waitForNewConnection(2000)) {
        r.link.close();
        return 0;
    }
    std::unique_ptr<QTcpSocket> serverSide(r.server.nextPendingConnection());
    // Each piece leaves at once, not held back until the previous one is acknowledged.
    serverSide->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QPointer<QTcpSocket> client;
    for (int i = 0; i < 1000 && !client; ++i) {
        QCoreApplication::processEvents();
        for (QTcpSocket *socket : r.link.findChildren<QTcpSocket *>())
            client = socket->state() == QAbstractSocket::ConnectedState ? socket : client.data();
    }

    QByteArray sent, transcript;
    // Each arrival costs a few system calls; a few dozen cuts find what cuts can break.
    for (qsizetype from = 0, piece = 0, arrival = 1; client && from < stream.size();
         from += piece, ++arrival) {
        piece = arrival < 24 ? nextPiece(cutSeed, maxPiece, stream.size() - from) : stream.size() - from;
        serverSide->write(stream.data() + from, piece);
        serverSide->waitForBytesWritten(1000);
        sent.append(stream.sliced(from, piece));
        // Whatever is in the kernel now is exactly this piece: the link reads it as one arrival.
        client->waitForReadyRead(1000);
        QCoreApplication::processEvents();
        serverSide->waitForReadyRead(0);
        transcript += serverSide->readAll();
        // The call goes out only in answer to a prompt; the filter command only after the call.
        FUZZ_CHECK(kLogin.startsWith(transcript));
        FUZZ_CHECK(transcript.isEmpty() || sent.contains("Please enter your call") ||
                   sent.contains("login:"));
        if (client && !r.link.findChildren<QTcpSocket *>().contains(client.data()))
            client = nullptr;
    }
    QCoreApplication::processEvents();
    transcript += serverSide->readAll();
    FUZZ_CHECK(kLogin.startsWith(transcript) && !r.lineBeforeLogin);
    FUZZ_CHECK(r.lines.size() <= sent.count('\n') && (transcript == kLogin || r.lines.isEmpty()));
    for (const QString &line : std::as_const(r.lines))
        FUZZ_CHECK(line.size() <= LineFramer::kMaxLineLength && printable(line));

    r.link.close();
    serverSide->abort();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
