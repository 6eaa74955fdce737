#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A spot server on 127.0.0.1 played the way RBN plays it: the prompt on connect, the greeting after the
// client's first line (the arrival that completes its login), then whatever the test sends. One client at
// a time: a new connection replaces the previous one. The waits spin the test's event loop, never sleep.
class TestSpotServer final : public QObject {
    Q_OBJECT
public:
    static inline const QByteArray kDefaultPrompt = QByteArrayLiteral("Please enter your call: ");
    static inline const QByteArray kDefaultGreeting =
        QByteArrayLiteral("\r\nHello, this is the test spot server.\r\n\r\n");

    explicit TestSpotServer(QObject *parent = nullptr);
    ~TestSpotServer() override;

    // Port 0: a free port the first time, the same again after refuse().
    bool listen(quint16 port = 0);
    void refuse(); // new connections are refused; the current client stays
    bool isListening() const;
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }

    void setPrompt(const QByteArray &prompt) { m_prompt = prompt; }
    void setGreeting(const QByteArray &greeting) { m_greeting = greeting; }
    // A node that rejects the callsign: closes right after the client's first line.
    void setDropAfterFirstLine(bool drop) { m_dropAfterFirstLine = drop; }

    QByteArray received() const { return m_transcripts.join(); }
    QByteArray transcript(int connection) const { return m_transcripts.value(connection); }
    int connectionCount() const { return static_cast<int>(m_transcripts.size()); }

    void send(QByteArrayView bytes);
    // Pieces cut at the ascending offsets, each read by a client in this thread as an arrival of its own.
    void sendSplitAt(QByteArrayView bytes, const QList<qsizetype> &cuts);
    void dropClient();

    bool waitForConnections(int count, int timeoutMs = 10000);
    bool waitForNoClient(int timeoutMs = 10000);
    bool waitForReceived(QByteArrayView text, int times = 1, int timeoutMs = 10000);
    // Until the latest connection has sent the filter command.
    bool waitForLoggedIn(int timeoutMs = 10000);

signals:
    void bytesReceived(const QByteArray &bytes);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    QTcpServer *m_server = nullptr; // child
    QTcpSocket *m_client = nullptr; // child
    quint16 m_port = 0;
    QByteArray m_prompt = kDefaultPrompt;
    QByteArray m_greeting = kDefaultGreeting;
    bool m_dropAfterFirstLine = false;
    bool m_greeted = false;
    QList<QByteArray> m_transcripts;
};

// A standard RBN CW spot line, "DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z";
// rbnBytes is the same as sent, UTF-8 with CR LF.
QString rbnLine(QStringView spotter, QStringView qrg, QStringView call, int wpm = 25,
                QStringView time = u"1200Z");
QByteArray rbnBytes(QStringView spotter, QStringView qrg, QStringView call, int wpm = 25,
                    QStringView time = u"1200Z");
