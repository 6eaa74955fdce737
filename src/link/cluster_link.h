#pragma once

#include "spots/line_framer.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <utility>

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
// The complete lines of that arrival are dropped; from the next arrival on the complete lines of each
// arrival are delivered together through linesReceived. Every byte received is appended to the log when
// the LogFile switch is on and the log is open, in every state.
//
// A quiet node sends nothing for many minutes: after idleTimeout without a byte a logged-in link sends an
// empty line (every node answers with its prompt), and only probeTimeout later without a byte is the link
// lost. When the server closes the connection, its last line tells why: a take-over ("Reconnected as",
// "this instance is disconnected", "already logged in") waits the longest back-off and is not a feed
// loss; a close within rejectWindow of the callsign is a rejected login. Both show that line.
//
// The protocol in one place: nextState() says where each step leads, enter() what arriving there does.
class ClusterLink final : public QObject {
    Q_OBJECT
public:
    // Where the connection is.
    enum class State {
        Closed,         // not started, or close()d
        Connecting,     // the TCP connect is under way
        AwaitingPrompt, // connected, waiting for the login prompt
        CallSent,       // the callsign went out; the next arrival is the server's answer
        LoggedIn,       // the filter command went out; lines are delivered
        Feeding,        // logged in and the feed confirmed (see feedConfirmed)
        WaitingToRetry, // lost; the next attempt is a timer away
    };
    Q_ENUM(State)
    // What the listeners are told at each step of a connection's life.
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

    // A line it refuses (given its bytes as received, without the line end) is not delivered.
    using LineFilter = std::function<bool(QByteArrayView line)>;
    void setLineFilter(LineFilter filter) { m_lineFilter = std::move(filter); }

    void setTiming(const Timing &timing);
    const Timing &timing() const { return m_timing; }

    // Connects now, and again to the same host and port after every loss until close().
    void start(const QString &host, quint16 port);
    // Closes the connection and stops reconnecting.
    void close();
    // The operator's "Reconnect now": drops the connection or the wait, starts the back-off afresh and
    // connects at once to the same host and port. Nothing when the link is closed.
    void reconnectNow();

    State state() const { return m_state; }
    bool isRunning() const { return m_state != State::Closed; }
    bool isLoggedIn() const { return m_state == State::LoggedIn || m_state == State::Feeding; }
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
    // The complete lines of one arrival while logged in, decoded and cleaned of control characters, each
    // ended by LF (a cleaned line holds none of its own).
    void linesReceived(const QString &lines);
    // Once per connection: the login delivered a line beginning with "DX de", or lasted stableLogin. A
    // login the server answers and then closes is no restored feed.
    void feedConfirmed(const QString &detail);
    // Writing the server data log failed (disk full, folder gone); listeners must not block in it.
    void serverLogFailed(const QString &error);

private:
    enum class Step { Start, TcpConnected, PromptSeen, AnswerArrived, FeedSeen, Lost, RetryDue, Close };
    // The protocol: where a step leads from here, or nowhere.
    static std::optional<State> nextState(State now, Step step);
    // Takes the step and does what arriving in the new state does; false when the step leads nowhere
    // from here or the message it sends could not be written (then the state stays).
    // The step Lost comes with what ended the connection.
    bool advance(Step step, Loss loss = Loss::Network, const QString &lossDetail = {});
    bool enter(State from, Loss loss, const QString &lossDetail);

    void onReadyRead();
    void onSocketGone(const QString &reason);
    void onIdleCheck();
    void lose(const QString &reason, Loss loss = Loss::Network, const QString &serverLine = {});
    QString lastServerLine() const;
    void openSocket();
    void detachSocket();
    bool send(QByteArrayView bytes);
    bool containsPrompt(QByteArrayView chunk);
    QString endpoint() const;
    // Outward signals wait here until the handler that caused them is done, and are emitted in order by
    // flush(). One a listener's reaction made stale (the link was closed or restarted) is dropped.
    void post(std::function<void()> emission);
    void flush();

    Settings &m_settings;
    ServerLog &m_log;
    Timing m_timing;

    QString m_host;
    quint16 m_port = 0;
    State m_state = State::Closed;

    QTcpSocket *m_socket = nullptr; // child of this link
    // Counts start(), close() and reconnectNow(): an emission posted before the latest of them is stale.
    quint64 m_run = 0;
    struct Emission {
        quint64 run;
        std::function<void()> fire;
    };
    std::deque<Emission> m_outbox;

    LineFramer m_framer;
    LineFilter m_lineFilter;
    QByteArray m_promptTail;

    std::chrono::milliseconds m_nextDelay = m_timing.firstRetry;
    QTimer m_retryTimer;
    QTimer m_connectTimer;
    QTimer m_idleTimer;
    QTimer m_stableTimer;
    QElapsedTimer m_lastArrival;
    QElapsedTimer m_callSent;
    Loss m_lastLoss = Loss::Network;
};
