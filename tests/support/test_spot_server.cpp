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
    if (port == 0)
        port = m_port;
    if (!m_server->listen(QHostAddress::LocalHost, port))
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

QByteArray TestSpotServer::received() const
{
    QByteArray all;
    for (const QByteArray &transcript : m_transcripts)
        all += transcript;
    return all;
}

void TestSpotServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_client) {
            disconnect(m_client, nullptr, this, nullptr);
            m_client->abort();
            m_client->deleteLater();
        }
        m_client = socket;
        m_greeted = false;
        m_transcripts.append(QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, &TestSpotServer::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (m_client == socket)
                m_client = nullptr;
            socket->deleteLater();
        });
        emit clientConnected();
        if (m_client == socket && !m_prompt.isEmpty())
            send(m_prompt);
    }
}

void TestSpotServer::onReadyRead()
{
    auto *socket = qobject_cast<QTcpSocket *>(sender());
    if (!socket || socket != m_client)
        return;
    const QByteArray bytes = socket->readAll();
    QByteArray &transcript = m_transcripts.last();
    transcript += bytes;
    emit bytesReceived(bytes);
    if (m_client != socket || m_greeted || !transcript.contains("\r\n"))
        return;
    m_greeted = true;
    if (m_dropAfterFirstLine) {
        dropClient();
        return;
    }
    if (!m_greeting.isEmpty())
        send(m_greeting);
}

void TestSpotServer::writePiece(QByteArrayView piece)
{
    if (!m_client)
        return;
    m_client->write(piece.data(), piece.size());
    m_client->flush();
}

void TestSpotServer::send(QByteArrayView bytes)
{
    writePiece(bytes);
}

void TestSpotServer::sendSplit(QByteArrayView bytes, qsizetype chunkSize)
{
    QList<qsizetype> cuts;
    for (qsizetype at = chunkSize; at < bytes.size(); at += chunkSize)
        cuts.append(at);
    sendSplitAt(bytes, cuts);
}

void TestSpotServer::sendSplitAt(QByteArrayView bytes, const QList<qsizetype> &cuts)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i <= cuts.size(); ++i) {
        const qsizetype to = i < cuts.size() ? std::clamp(cuts[i], from, bytes.size()) : bytes.size();
        if (to == from)
            continue;
        writePiece(bytes.sliced(from, to - from));
        from = to;
        // Loopback delivers at once; two turns of the loop let a client in this thread read the piece.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
}

void TestSpotServer::dropClient()
{
    if (!m_client)
        return;
    QTcpSocket *socket = m_client;
    m_client = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->disconnectFromHost();
    socket->deleteLater();
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
        [&] { return !m_transcripts.isEmpty() && m_transcripts.last().contains(kFilterLine); }, timeoutMs);
}

QString rbnLine(QStringView spotter, QStringView qrg, QStringView call, int wpm, QStringView time)
{
    QString line = QStringLiteral("DX de ");
    line += QString(spotter.toString() + u':').leftJustified(9);
    line += qrg.toString().rightJustified(9);
    line += QStringLiteral("  ");
    line += call.toString().leftJustified(13);
    line += QStringLiteral("  CW    25 dB ");
    line += QString::number(wpm).rightJustified(3);
    line += QStringLiteral(" WPM  CQ      ");
    line += time;
    return line;
}

QByteArray rbnBytes(QStringView spotter, QStringView qrg, QStringView call, int wpm, QStringView time)
{
    return rbnLine(spotter, qrg, call, wpm, time).toUtf8() + "\r\n";
}
