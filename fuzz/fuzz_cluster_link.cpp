// The receive path through the real cluster link: a loopback server writes the input in pieces, each read
// by the link as one arrival, so the login dialogue (prompt search across arrivals, the call, the arrival
// that completes the login) runs on arbitrary bytes, and its lines go on through the whole pipeline.
//
// Input: byte 0 switches, byte 1 how the stream is cut into arrivals (0 = one arrival), byte 2 the largest
// piece, then the server's bytes.
#include "app/json_event_writer.h"
#include "fuzz_support.h"
#include "link/cluster_link.h"
#include "pipeline_harness.h"

#include <QBuffer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

using namespace std::chrono_literals;

namespace {

const QByteArray kLogin = QByteArrayLiteral("TE0ST\r\nSet Dx Filter mode=CW\r\n");

struct LinkRig {
    PipelineHarness harness;
    QBuffer events;
    JsonEventWriter writer{events};
    QTcpServer server;
    ClusterLink::LoginState stateAtLine = ClusterLink::LoginState::WaitingForPrompt;
    QStringList lines;
    bool lineBeforeLogin = false;

    LinkRig()
    {
        events.open(QIODevice::ReadWrite);
        writer.attach(harness.core);
        server.listen(QHostAddress::LocalHost);
        ClusterLink &link = harness.core.link();
        // No attempt of its own while an input runs: every connection is made by the harness.
        ClusterLink::Timing timing;
        timing.firstRetry = 1h;
        timing.maxRetry = 1h;
        timing.idleTimeout = 1h;
        link.setTiming(timing);
        QObject::connect(&link, &ClusterLink::lineReceived, &link, [this](const QString &line) {
            if (harness.core.link().loginState() != ClusterLink::LoginState::LoggedIn)
                lineBeforeLogin = true;
            lines.append(line);
        });
    }
};

LinkRig &rig()
{
    static LinkRig r;
    return r;
}

QTcpSocket *clientSocket(ClusterLink &link)
{
    for (QTcpSocket *socket : link.findChildren<QTcpSocket *>()) {
        if (socket->state() == QAbstractSocket::ConnectedState)
            return socket;
    }
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LinkRig &r = rig();
    ClusterLink &link = r.harness.core.link();
    FuzzInput input(data, size);
    const uint8_t flags = input.byte();
    quint32 cutSeed = input.byte();
    const int maxPiece = input.byte() + 1;
    const QByteArrayView stream(input.rest(), input.restSize());

    Settings &settings = r.harness.core.settings();
    settings.setOn(Settings::Switch::DxMsgAll, !(flags & 0x01));
    settings.setOn(Settings::Switch::PortAl, flags & 0x02);
    settings.setOn(Settings::Switch::QrqMsg, flags & 0x04);
    settings.setOn(Settings::Switch::PortMsg, flags & 0x08);
    r.lines.clear();
    r.lineBeforeLogin = false;
    r.events.buffer().clear();
    r.events.seek(0);

    link.start(QStringLiteral("127.0.0.1"), r.server.serverPort());
    if (!r.server.waitForNewConnection(2000)) {
        link.close();
        return 0;
    }
    QTcpSocket *serverSide = r.server.nextPendingConnection();
    // Each piece leaves at once, not held back until the previous one is acknowledged.
    serverSide->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QPointer<QTcpSocket> client;
    for (int i = 0; i < 1000 && !client; ++i) {
        QCoreApplication::processEvents();
        client = clientSocket(link);
    }

    QByteArray sent;
    QByteArray transcript;
    qsizetype from = 0;
    // Each arrival costs a few system calls; a few dozen cuts find what cuts can break.
    constexpr int kMaxArrivals = 24;
    for (int arrival = 1; client && from < stream.size(); ++arrival) {
        qsizetype piece = stream.size() - from;
        if (cutSeed != 0 && arrival < kMaxArrivals) {
            cutSeed ^= cutSeed << 13;
            cutSeed ^= cutSeed >> 17;
            cutSeed ^= cutSeed << 5;
            piece = qMin<qsizetype>(piece, 1 + cutSeed % quint32(maxPiece));
        }
        serverSide->write(stream.data() + from, piece);
        serverSide->waitForBytesWritten(1000);
        sent.append(stream.sliced(from, piece));
        from += piece;
        // Whatever is in the kernel now is exactly this piece: the link reads it as one arrival.
        client->waitForReadyRead(1000);
        QCoreApplication::processEvents();
        if (serverSide->waitForReadyRead(0) || serverSide->bytesAvailable() > 0)
            transcript += serverSide->readAll();

        // The call goes out only in answer to a prompt; the filter command only after the call.
        FUZZ_CHECK(kLogin.startsWith(transcript));
        if (!transcript.isEmpty())
            FUZZ_CHECK(sent.contains("Please enter your call") || sent.contains("login:"));
        if (client && link.findChildren<QTcpSocket *>().indexOf(client.data()) < 0)
            client = nullptr;
    }
    QCoreApplication::processEvents();
    transcript += serverSide->readAll();
    FUZZ_CHECK(kLogin.startsWith(transcript));

    FUZZ_CHECK(!r.lineBeforeLogin);
    FUZZ_CHECK(r.lines.size() <= sent.count('\n'));
    if (transcript != kLogin)
        FUZZ_CHECK(r.lines.isEmpty());
    for (const QString &line : std::as_const(r.lines)) {
        FUZZ_CHECK(line.size() <= LineFramer::kMaxLineLength);
        for (const QChar c : line)
            FUZZ_CHECK((c.unicode() >= 0x20 || c == u'\t') && c.unicode() != 0x7F);
    }

    link.close();
    serverSide->abort();
    delete serverSide;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
