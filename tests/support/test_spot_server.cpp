#include "support/test_spot_server.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>

TestSpotServer::TestSpotServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TestSpotServer::onNewConnection);
}

TestSpotServer::~TestSpotServer()
{
    if (m_client)
        m_client->abort();
}

bool TestSpotServer::listen(quint16 port)
{
    if (!m_server->listen(QHostAddress::LocalHost, port == 0 ? m_port : port))
        return false;
    m_port = m_server->serverPort();
    return true;
}

void TestSpotServer::refuse()
{
    m_server->close();
}

bool TestSpotServer::isListening() const
{
    return m_server->isListening();
}

void TestSpotServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
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
}

void TestSpotServer::onReadyRead(QTcpSocket *socket)
{
    if (socket != m_client)
        return;
    const QByteArray bytes = socket->readAll();
    m_transcripts.last() += bytes;
    emit bytesReceived(bytes);
    if (m_client != socket || m_greeted || !m_transcripts.last().contains("\r\n"))
        return;
    m_greeted = true;
    if (m_dropAfterFirstLine)
        dropClient();
    else
        send(m_greeting);
}

void TestSpotServer::send(QByteArrayView bytes)
{
    if (!m_client || bytes.isEmpty())
        return;
    m_client->write(bytes.data(), bytes.size());
    m_client->flush();
}

void TestSpotServer::sendSplitAt(QByteArrayView bytes, const QList<qsizetype> &cuts)
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

void TestSpotServer::dropClient()
{
    if (QTcpSocket *socket = std::exchange(m_client, nullptr)) {
        disconnect(socket, nullptr, this, nullptr);
        socket->disconnectFromHost();
        socket->deleteLater();
    }
}

bool TestSpotServer::waitForConnections(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return connectionCount() >= count; }, timeoutMs);
}

bool TestSpotServer::waitForNoClient(int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_client == nullptr; }, timeoutMs);
}

bool TestSpotServer::waitForReceived(QByteArrayView text, int times, int timeoutMs)
{
    return QTest::qWaitFor([&] { return received().count(text) >= times; }, timeoutMs);
}

bool TestSpotServer::waitForLoggedIn(int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            return !m_transcripts.isEmpty() && m_transcripts.last().contains("Set Dx Filter mode=CW\r\n");
        },
        timeoutMs);
}

QString rbnLine(QStringView spotter, QStringView qrg, QStringView call, int wpm, QStringView time)
{
    return u"DX de "_qs + QString(spotter.toString() + u':').leftJustified(9) +
           qrg.toString().rightJustified(9) + u"  "_qs + call.toString().leftJustified(13) +
           u"  CW    25 dB "_qs + QString::number(wpm).rightJustified(3) + u" WPM  CQ      "_qs +
           time.toString();
}

QByteArray rbnBytes(QStringView spotter, QStringView qrg, QStringView call, int wpm, QStringView time)
{
    return rbnLine(spotter, qrg, call, wpm, time).toUtf8() + "\r\n";
}
