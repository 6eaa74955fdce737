#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>

// A push service on 127.0.0.1 for the tests: takes HTTP/1.1 requests, keeps them, and answers each with
// status (200 by default), or never when status is 0. With setTls() it speaks HTTPS with the given
// certificate and key. refuse() leaves a port nobody listens on.
class TestHttpServer final : public QObject {
public:
    struct Request {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    int status = 200;
    QList<Request> requests;

    // Before listen().
    void setTls(const QSslCertificate &certificate, const QSslKey &key)
    {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate);
        tls.setPrivateKey(key);
        tls.setAllowedNextProtocols({QSslConfiguration::NextProtocolHttp1_1});
        auto *server = new QSslServer(this);
        server->setSslConfiguration(tls);
        m_server = server;
        m_tls = true;
    }
    bool listen()
    {
        if (!m_server)
            m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
        return m_server->listen(QHostAddress::LocalHost) && (m_port = m_server->serverPort());
    }
    void refuse() { m_server->close(); }
    quint16 port() const { return m_port; }
    QByteArray url(const QByteArray &path = "/alarms") const
    {
        return (m_tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + QByteArray::number(m_port) + path;
    }

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        // One request at a time per connection, as a client without pipelining sends them.
        while (true) {
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            Request request;
            const QList<QByteArray> lines = buffer.left(end).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.path = first.value(1);
            for (const QByteArray &line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
            }
            const qsizetype length = request.headers.value("content-length").toLongLong();
            if (buffer.size() < end + 4 + length)
                return;
            request.body = buffer.mid(end + 4, length);
            buffer.remove(0, end + 4 + length);
            requests.append(request);
            if (status != 0)
                socket->write("HTTP/1.1 " + QByteArray::number(status) +
                              " X\r\nContent-Length: 2\r\nContent-Type: text/plain\r\n\r\nok");
        }
    }

    QTcpServer *m_server = nullptr;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    quint16 m_port = 0;
    bool m_tls = false;
};
