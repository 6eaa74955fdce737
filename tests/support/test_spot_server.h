#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

#include <algorithm>
#include <functional>

// A spot server on 127.0.0.1 played the way RBN plays it: the prompt on connect, the greeting after the
// client's first line (the arrival that completes its login), then whatever the test sends. One client at
// a time: a new connection replaces the previous one. The waits spin the test's event loop, never sleep.
class TestSpotServer final : public QObject {
public:
    static inline const QByteArray kDefaultGreeting =
        QByteArrayLiteral("\r\nHello, this is the test spot server.\r\n\r\n");

    explicit TestSpotServer(QObject *parent = nullptr) : QObject(parent)
    {
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection())
                accept(socket);
        });
    }
    ~TestSpotServer() override
    {
        if (m_client)
            m_client->abort();
    }

    // A free port the first time, the same again after refuse().
    bool listen()
    {
        return m_server->listen(QHostAddress::LocalHost, m_port) && (m_port = m_server->serverPort());
    }
    void refuse() { m_server->close(); } // new connections are refused; the current client stays
    QString host() const { return u"127.0.0.1"_s; }
    quint16 port() const { return m_port; }

    void setPrompt(const QByteArray &prompt) { m_prompt = prompt; }
    void setGreeting(const QByteArray &greeting) { m_greeting = greeting; }
    // A node that rejects the callsign: closes right after the client's first line.
    void setDropAfterFirstLine(bool drop) { m_dropAfterFirstLine = drop; }
    std::function<void(const QByteArray &)> onReceived; // called with each read from the client

    QByteArray received() const { return m_transcripts.join(); }
    QByteArray transcript(int connection) const { return m_transcripts.value(connection); }
    int connectionCount() const { return static_cast<int>(m_transcripts.size()); }

    void send(QByteArrayView bytes)
    {
        if (!m_client || bytes.isEmpty())
            return;
        m_client->write(bytes.data(), bytes.size());
        m_client->flush();
    }
    // Pieces cut at the ascending offsets, each read by a client in this thread as an arrival of its own.
    void sendSplitAt(QByteArrayView bytes, const QList<qsizetype> &cuts)
    {
        qsizetype from = 0;
        for (qsizetype i = 0; i <= cuts.size(); ++i) {
            const qsizetype to = i < cuts.size() ? std::clamp(cuts[i], from, bytes.size()) : bytes.size();
            if (to == from)
                continue;
            send(bytes.sliced(from, to - from));
            from = to;
            // Loopback delivers at once; two turns of the loop let a client in this thread read the piece.
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
        }
    }
    void dropClient()
    {
        if (QTcpSocket *socket = std::exchange(m_client, nullptr)) {
            disconnect(socket, nullptr, this, nullptr);
            socket->disconnectFromHost();
            socket->deleteLater();
        }
    }

    bool waitForConnections(int count)
    {
        return waitFor([&] { return connectionCount() >= count; });
    }
    bool waitForNoClient()
    {
        return waitFor([&] { return !m_client; });
    }
    // Until the latest connection has sent the filter command.
    bool waitForLoggedIn()
    {
        return waitFor(
            [&] { return transcript(connectionCount() - 1).contains("Set Dx Filter mode=CW\r\n"); });
    }

private:
    static bool waitFor(const std::function<bool()> &condition) { return QTest::qWaitFor(condition, 10000); }
    void accept(QTcpSocket *socket)
    {
        dropClient();
        m_client = socket;
        m_greeted = false;
        m_transcripts.append(QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (m_client == socket)
                m_client = nullptr;
            socket->deleteLater();
        });
        send(m_prompt);
    }
    void onReadyRead(QTcpSocket *socket)
    {
        if (socket != m_client)
            return;
        const QByteArray bytes = socket->readAll();
        m_transcripts.last() += bytes;
        if (onReceived)
            onReceived(bytes);
        if (m_client != socket || m_greeted || !m_transcripts.last().contains("\r\n"))
            return;
        m_greeted = true;
        if (m_dropAfterFirstLine)
            dropClient();
        else
            send(m_greeting);
    }

    QTcpServer *m_server = new QTcpServer(this);
    QTcpSocket *m_client = nullptr; // child
    quint16 m_port = 0;
    QByteArray m_prompt = "Please enter your call: ";
    QByteArray m_greeting = kDefaultGreeting;
    bool m_dropAfterFirstLine = false;
    bool m_greeted = false;
    QList<QByteArray> m_transcripts;
};

// A standard RBN CW spot line, "DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z";
// rbnBytes is the same as sent, UTF-8 with CR LF.
inline QString rbnLine(QStringView spotter, QStringView qrg, QStringView call, int wpm = 25)
{
    return u"DX de %1%2  %3  CW    25 dB %4 WPM  CQ      1200Z"_s.arg(spotter.toString() + u':', -9)
        .arg(qrg, 9)
        .arg(call, -13)
        .arg(wpm, 3);
}
template <typename... Fields> QByteArray rbnBytes(Fields... fields)
{
    return rbnLine(fields...).toUtf8() + "\r\n";
}
