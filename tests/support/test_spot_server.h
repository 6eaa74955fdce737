#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A spot server on 127.0.0.1 for tests, played the way RBN plays it:
//
//   - a client that connects gets the prompt ("Please enter your call: " unless changed);
//   - after the client's first line (its callsign) the server answers with the greeting, which is the
//     arrival that completes the client's login; the client then sends "Set Dx Filter mode=CW";
//   - from then on the test sends spot lines with send() or sendSplit().
//
// Typical use:
//
//   TestSpotServer server;
//   QVERIFY(server.listen());
//   link.start(server.host(), server.port());
//   QVERIFY(server.waitForLoggedIn());            // the client is in state 2 now
//   server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
//
// Only one client is served at a time: a new connection replaces (and closes) the previous one. Every
// byte received from every client is kept, per connection and in total. Everything runs on the test's
// event loop; the wait functions spin it (no sleeps) and return false on timeout.
class TestSpotServer final : public QObject {
    Q_OBJECT
public:
    static constexpr int kWaitMs = 10000;
    static inline const QByteArray kDefaultPrompt = QByteArrayLiteral("Please enter your call: ");
    static inline const QByteArray kDefaultGreeting =
        QByteArrayLiteral("\r\nHello, this is the test spot server.\r\n\r\n");
    static inline const QByteArray kFilterLine = QByteArrayLiteral("Set Dx Filter mode=CW\r\n");

    explicit TestSpotServer(QObject *parent = nullptr);
    ~TestSpotServer() override;

    // Listens on 127.0.0.1. Port 0 picks a free port the first time and the same port again after
    // refuse(), so a client can be refused and then let in at the address it already has.
    bool listen(quint16 port = 0);
    // Stops listening: new connection attempts are refused. The current client is not touched.
    void refuse();
    bool isListening() const;
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }

    // Sent to each client on connect; empty sends nothing.
    void setPrompt(const QByteArray &prompt) { m_prompt = prompt; }
    // Sent once per connection after the client's first line; empty sends nothing.
    void setGreeting(const QByteArray &greeting) { m_greeting = greeting; }
    // A node that rejects the callsign: close the connection right after the client's first line.
    void setDropAfterFirstLine(bool drop) { m_dropAfterFirstLine = drop; }

    // Bytes received from all clients, in order.
    QByteArray received() const;
    // Bytes received on connection number index (0 = the first one accepted).
    QByteArray transcript(int index) const { return m_transcripts.value(index); }
    int connectionCount() const { return static_cast<int>(m_transcripts.size()); }
    bool hasClient() const { return m_client != nullptr; }

    // One write, flushed to the network at once.
    void send(QByteArrayView bytes);
    // Pieces of chunkSize bytes (the last may be shorter), each flushed and followed by a turn of the
    // event loop, so a client in the same thread reads each piece as an arrival of its own.
    void sendSplit(QByteArrayView bytes, qsizetype chunkSize = 1);
    // The same with the pieces cut at the given offsets (ascending, 0 < offset < size).
    void sendSplitAt(QByteArrayView bytes, const QList<qsizetype> &cuts);
    // Closes the current client's connection from the server side.
    void dropClient();

    bool waitForConnections(int count, int timeoutMs = kWaitMs);
    // Until the current client has no connection any more.
    bool waitForNoClient(int timeoutMs = kWaitMs);
    // Until received() holds text at least `times` times.
    bool waitForReceived(QByteArrayView text, int times = 1, int timeoutMs = kWaitMs);
    // Until the latest connection has sent the filter command: its client is logged in.
    bool waitForLoggedIn(int timeoutMs = kWaitMs);

signals:
    void clientConnected();
    void bytesReceived(const QByteArray &bytes);

private:
    void onNewConnection();
    void onReadyRead();
    void writePiece(QByteArrayView piece);

    QTcpServer *m_server = nullptr; // child
    QTcpSocket *m_client = nullptr; // child
    quint16 m_port = 0;
    QByteArray m_prompt = kDefaultPrompt;
    QByteArray m_greeting = kDefaultGreeting;
    bool m_dropAfterFirstLine = false;
    bool m_greeted = false;
    QList<QByteArray> m_transcripts;
};

// A standard 75-character RBN CW spot line (without CR LF), laid out as the RBN servers do:
//   "DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z"
// A spotter longer than 8 characters or a call longer than 13 makes the line longer, as on the air.
QString rbnLine(QStringView spotter, QStringView qrg, QStringView call, int wpm = 25,
                QStringView time = u"1200Z");
// rbnLine as the server sends it: UTF-8 with CR LF.
QByteArray rbnBytes(QStringView spotter, QStringView qrg, QStringView call, int wpm = 25,
                    QStringView time = u"1200Z");
