#pragma once

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

class AlarmList;
class QTcpServer;
class QTcpSocket;

// A spot server built into the program for "--demo": it listens on a loopback port, runs the login
// dialogue as an RBN server does, then streams a realistic mix of spot lines - CW on every band, some
// RTTY and FT8, portable stations, and now and then a call of the operator's alarm list so alarms fire.
class DemoSpotSource final : public QObject {
    Q_OBJECT
public:
    explicit DemoSpotSource(const AlarmList &list, QObject *parent = nullptr);

    // Listens on 127.0.0.1 at a free port.
    bool listen();
    quint16 port() const;

    // Time between two bursts of lines; the demo uses 0.4 to 1.2 s, tests less.
    void setInterval(int minMs, int maxMs);
    void setSeed(quint32 seed) { m_random.seed(seed); }

    // One spot line as sent (without CR LF); public so tests can look at the mix.
    QByteArray nextLine();

private:
    void onNewConnection();
    void onReadyRead();
    void sendBurst();
    QByteArray watchedCall();

    const AlarmList &m_list;
    QTcpServer *m_server = nullptr; // child
    QTcpSocket *m_client = nullptr; // child
    QByteArray m_received;
    int m_linesFromClient = 0;
    QTimer m_timer;
    QRandomGenerator m_random{20261206};
    int m_minMs = 400;
    int m_maxMs = 1200;
    int m_sent = 0;
};
