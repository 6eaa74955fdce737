#pragma once

#include "spots/line_framer.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class QTcpSocket;
class ServerLog;
class Settings;

// The connection to the spot server: connect, the login dialogue, the server data log, line framing, and
// reconnecting with back-off when the connection is lost or an attempt fails. Runs on the thread's event
// loop; every handler runs to completion, nothing blocks.
//
// Login, per connection: wait for "Please enter your call" or "login:" (also when split across reads),
// send OwnCall + CR LF and show "login to Server"; the next arrival, whatever it holds, is taken as the
// server's answer: send "Set Dx Filter mode=CW" + CR LF and show "connected to Host: <host> Port:<port>".
// The complete lines of that arrival are dropped; from the next arrival on every complete line is
// delivered through lineReceived. Every byte received is appended to the log when the LogFile switch is
// on and the log is open, in every state.
//
// A quiet node sends nothing for many minutes: after idleTimeout without a byte a logged-in link sends an
// empty line (every node answers with its prompt), and only probeTimeout later without a byte is the link
// lost. When the server closes the connection, its last line tells why: a take-over ("Reconnected as",
// "this instance is disconnected", "already logged in") waits the longest back-off and is not a feed
// loss; a close within rejectWindow of the callsign is a rejected login. Both show that line.
class ClusterLink final : public QObject {
    Q_OBJECT
public:
    enum class LoginState { WaitingForPrompt = 0, CallSent = 1, LoggedIn = 2 };
    Q_ENUM(LoginState)
    enum class Connection { Connecting, Connected, LoggedIn, Lost };
    Q_ENUM(Connection)
    // Why the last connection was lost.
    enum class Loss { Network, Rejected, TakenOver };
    Q_ENUM(Loss)

    // Durations of the connection's life; tests shrink them.
    struct Timing {
        std::chrono::milliseconds firstRetry{std::chrono::seconds(5)};
        std::chrono::milliseconds maxRetry{std::chrono::seconds(120)};
        // A connect attempt without an answer is given up after this.
        std::chrono::milliseconds connectTimeout{std::chrono::seconds(30)};
        // Silence this long sends the probe; before the login it counts toward the loss all the same.
        std::chrono::milliseconds idleTimeout{std::chrono::minutes(2)};
        // No byte this long after the probe: the connection is dead, whatever TCP thinks.
        std::chrono::milliseconds probeTimeout{std::chrono::seconds(60)};
        // The server closing this soon after the callsign has rejected the login.
        std::chrono::milliseconds rejectWindow{std::chrono::seconds(10)};
        // Logged in this long, the next loss retries after firstRetry again and the feed counts as
        // restored. A server that closes right after the callsign never gets there, so it sees a growing
        // back-off.
        std::chrono::milliseconds stableLogin{std::chrono::seconds(60)};
    };

    static constexpr qint64 kReadBufferSize = 1 << 20;

    // Reads OwnCall when sending it and the LogFile switch at each arrival.
    ClusterLink(Settings &settings, ServerLog &log, QObject *parent = nullptr);
    ~ClusterLink() override;

    void setTiming(const Timing &timing);
    const Timing &timing() const { return m_timing; }

    // Connects now, and again to the same host and port after every loss until close().
    void start(const QString &host, quint16 port);
    // Closes the connection and stops reconnecting.
    void close();

    LoginState loginState() const { return m_loginState; }
    bool isRunning() const { return m_running; }
    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    // The wait before the attempt now pending (zero when none is), and the wait the next loss will get.
    std::chrono::milliseconds retryDelay() const;
    std::chrono::milliseconds nextRetryDelay() const { return m_nextDelay; }
    Loss lastLoss() const { return m_lastLoss; }

signals:
    void statusChanged(const QString &text);
    // retryInSeconds is the wait before the next attempt, set only with Lost (0 otherwise).
    void connectionChanged(ClusterLink::Connection state, const QString &detail, int retryInSeconds);
    // One complete line received while logged in, decoded and cleaned of control characters.
    void lineReceived(const QString &line);
    // Once per connection: the login delivered a line beginning with "DX de", or lasted stableLogin. A
    // login the server answers and then closes is no restored feed.
    void feedConfirmed(const QString &detail);
    // Writing the server data log failed (disk full, folder gone); listeners must not block in it.
    void serverLogFailed(const QString &error);

private:
    void connectNow();
    void onConnected();
    void onReadyRead();
    void deliverPendingLines(quint64 generation);
    void onDisconnected();
    void onErrorOccurred(QAbstractSocket::SocketError error);
    void onIdleCheck();
    void onServerGone(const QString &reason);
    void lose(const QString &reason, Loss loss = Loss::Network, const QString &serverLine = {});
    void keepLastLine(QByteArrayView raw);
    QString lastServerLine() const;
    void confirmFeed();
    void detachSocket();
    bool send(QByteArrayView bytes);
    bool containsPrompt(QByteArrayView chunk);
    void answerPrompt();
    void completeLogin();
    QString endpoint() const;

    Settings &m_settings;
    ServerLog &m_log;
    Timing m_timing;

    QString m_host;
    quint16 m_port = 0;
    bool m_running = false;
    bool m_connected = false;
    LoginState m_loginState = LoginState::WaitingForPrompt;

    QTcpSocket *m_socket = nullptr; // child of this link
    // Changes whenever the socket is replaced or dropped, so a handler that emitted a signal can tell
    // that a listener closed or restarted the link meanwhile and must not go on with the old arrival.
    quint64 m_generation = 0;
    int m_socketSignalDepth = 0;

    LineFramer m_framer;
    QByteArray m_readBuffer;
    QByteArray m_promptTail;
    // Complete lines of the current arrival, raw and each ended by LF, delivered when the arrival is read.
    QByteArray m_pendingLines;

    std::chrono::milliseconds m_nextDelay = m_timing.firstRetry;
    QTimer m_retryTimer;
    QTimer m_connectTimer;
    QTimer m_idleTimer;
    QTimer m_stableTimer;
    QElapsedTimer m_lastArrival;
    QElapsedTimer m_callSent;
    bool m_probed = false;
    bool m_feedConfirmed = false;
    Loss m_lastLoss = Loss::Network;
    // The server's last complete line of this connection, raw (at most LineFramer::kMaxLineLength).
    QByteArray m_lastLine;
};
