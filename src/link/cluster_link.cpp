#include "link/cluster_link.h"

#include "link/server_log.h"
#include "model/settings.h"

#include <QLatin1StringView>
#include <QTcpSocket>

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr std::array<QByteArrayView, 2> kPrompts{QByteArrayView("Please enter your call"),
                                                 QByteArrayView("login:")};
constexpr qsizetype kLongestPrompt = 22;

constexpr QByteArrayView kFilterCommand("Set Dx Filter mode=CW\r\n");
constexpr QByteArrayView kProbe("\r\n");

// What nodes say before closing a connection because another one with the same call has the session.
constexpr std::array<QLatin1StringView, 3> kTakeOverTexts{QLatin1StringView("Reconnected as"),
                                                          QLatin1StringView("this instance is disconnected"),
                                                          QLatin1StringView("already logged in")};
// A server line in the status is cut to this many characters.
constexpr qsizetype kMaxShownServerLine = 200;

bool isTakeOver(const QString &line)
{
    return std::any_of(kTakeOverTexts.begin(), kTakeOverTexts.end(),
                       [&line](QLatin1StringView text) { return line.contains(text, Qt::CaseInsensitive); });
}

int wholeSecondsUp(std::chrono::milliseconds duration)
{
    return static_cast<int>((duration.count() + 999) / 1000);
}

} // namespace

ClusterLink::ClusterLink(Settings &settings, ServerLog &log, QObject *parent)
    : QObject(parent), m_settings(settings), m_log(log)
{
    for (QTimer *timer : {&m_retryTimer, &m_connectTimer, &m_idleTimer, &m_stableTimer})
        timer->setSingleShot(true);
    // A coarse timer may fire early; the idle check counts on never being ahead of the silence it waits for.
    m_idleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] {
        advance(Step::RetryDue);
        flush();
    });
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        lose(QStringLiteral("no answer within %1 s").arg(wholeSecondsUp(m_timing.connectTimeout)));
        flush();
    });
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        onIdleCheck();
        flush();
    });
    connect(&m_stableTimer, &QTimer::timeout, this, [this] {
        m_nextDelay = m_timing.firstRetry;
        advance(Step::FeedSeen);
        flush();
    });
}

ClusterLink::~ClusterLink()
{
    close();
}

void ClusterLink::setTiming(const Timing &timing)
{
    m_timing = timing;
    m_nextDelay = timing.firstRetry;
}

void ClusterLink::start(const QString &host, quint16 port)
{
    m_host = host;
    m_port = port;
    ++m_run;
    m_nextDelay = m_timing.firstRetry;
    advance(Step::Start);
    flush();
}

void ClusterLink::close()
{
    ++m_run;
    advance(Step::Close);
    flush();
}

void ClusterLink::reconnectNow()
{
    if (m_state == State::Closed)
        return;
    start(m_host, m_port);
}

std::chrono::milliseconds ClusterLink::retryDelay() const
{
    return m_retryTimer.isActive() ? m_retryTimer.intervalAsDuration() : std::chrono::milliseconds(0);
}

std::optional<ClusterLink::State> ClusterLink::nextState(State now, Step step)
{
    const auto from = [now](State expected, State next) -> std::optional<State> {
        return now == expected ? std::optional(next) : std::nullopt;
    };
    switch (step) {
    case Step::Start:
        return State::Connecting;
    case Step::Close:
        return State::Closed;
    case Step::TcpConnected:
        return from(State::Connecting, State::AwaitingPrompt);
    case Step::PromptSeen:
        return from(State::AwaitingPrompt, State::CallSent);
    // Whatever the arrival after the callsign holds, it is the server's answer.
    case Step::AnswerArrived:
        return from(State::CallSent, State::LoggedIn);
    case Step::FeedSeen:
        return from(State::LoggedIn, State::Feeding);
    case Step::Lost:
        if (now == State::Closed || now == State::WaitingToRetry)
            return std::nullopt;
        return State::WaitingToRetry;
    case Step::RetryDue:
        return from(State::WaitingToRetry, State::Connecting);
    }
    return std::nullopt;
}

bool ClusterLink::advance(Step step, Loss loss, const QString &lossDetail)
{
    const std::optional<State> next = nextState(m_state, step);
    if (!next)
        return false;
    const State from = std::exchange(m_state, *next);
    if (enter(from, loss, lossDetail))
        return true;
    m_state = from;
    return false;
}

bool ClusterLink::enter(State from, Loss loss, const QString &lossDetail)
{
    switch (m_state) {
    case State::Closed:
        m_retryTimer.stop();
        detachSocket();
        return true;
    case State::Connecting:
        m_retryTimer.stop();
        detachSocket();
        openSocket();
        post([this] { emit statusChanged(QStringLiteral("try connect server")); });
        post([this, endpoint = endpoint()] { emit connectionChanged(Connection::Connecting, endpoint, 0); });
        // May report a refused connection at once (errorOccurred from inside); lose() copes with that.
        m_socket->connectToHost(m_host, m_port);
        return true;
    case State::AwaitingPrompt:
        m_connectTimer.stop();
        m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        m_lastArrival.start();
        m_idleTimer.start(m_timing.idleTimeout);
        post([this, endpoint = endpoint()] { emit connectionChanged(Connection::Connected, endpoint, 0); });
        return true;
    case State::CallSent:
        if (!send(QByteArray(m_settings.ownCall().toUtf8() + "\r\n")))
            return false;
        m_callSent.start();
        // The prompt has no line end; answered, it must not be glued to the front of the next line. Neither
        // is it the server's answer to the callsign.
        m_framer.clear();
        post([this] { emit statusChanged(QStringLiteral("login to Server")); });
        return true;
    case State::LoggedIn:
        if (!send(kFilterCommand))
            return false;
        m_stableTimer.start(m_timing.stableLogin);
        post([this, text = QStringLiteral("connected to Host: %1 Port:%2").arg(m_host).arg(m_port)] {
            emit statusChanged(text);
        });
        post([this, endpoint = endpoint()] { emit connectionChanged(Connection::LoggedIn, endpoint, 0); });
        return true;
    case State::Feeding:
        post([this, endpoint = endpoint()] { emit feedConfirmed(endpoint); });
        return true;
    case State::WaitingToRetry: {
        detachSocket();
        m_lastLoss = loss;
        std::chrono::milliseconds delay = m_timing.maxRetry;
        // Taking the session straight back would only throw the other client out in turn.
        if (loss != Loss::TakenOver) {
            delay = m_nextDelay;
            m_nextDelay = std::min(delay * 2, m_timing.maxRetry);
        }
        // The attempt is a timer event of its own: never reconnect from inside a socket signal.
        m_retryTimer.start(delay);
        const QString seconds = QString::number(wholeSecondsUp(delay));
        // One arg() call each: a "%1" in the server's text must stay text.
        const QString text =
            from == State::Connecting
                ? QStringLiteral("connect failed to %1 (%2), retry in %3 s")
                      .arg(endpoint(), lossDetail, seconds)
                : QStringLiteral("connection lost (%1), retry in %2 s").arg(lossDetail, seconds);
        post([this, text] { emit statusChanged(text); });
        post([this, detail = lossDetail, seconds = wholeSecondsUp(delay)] {
            emit connectionChanged(Connection::Lost, detail, seconds);
        });
        return true;
    }
    }
    return false;
}

void ClusterLink::openSocket()
{
    m_socket = new QTcpSocket(this);
    // Bounds what one arrival can hold; beyond it TCP makes the server wait.
    m_socket->setReadBufferSize(kReadBufferSize);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        advance(Step::TcpConnected);
        flush();
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &ClusterLink::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        onSocketGone(QStringLiteral("closed by server"));
        flush();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        onSocketGone(m_socket->errorString());
        flush();
    });
    m_connectTimer.start(m_timing.connectTimeout);
}

void ClusterLink::detachSocket()
{
    m_connectTimer.stop();
    m_idleTimer.stop();
    m_stableTimer.stop();
    m_callSent.invalidate();
    m_framer.clear();
    m_promptTail.clear();
    if (!m_socket)
        return;
    disconnect(m_socket, nullptr, this, nullptr);
    // Not aborted here: this may run inside one of the socket's own signals. Its destructor aborts it.
    m_socket->deleteLater();
    m_socket = nullptr;
}

void ClusterLink::post(std::function<void()> emission)
{
    m_outbox.push_back({m_run, std::move(emission)});
}

void ClusterLink::flush()
{
    // A listener may close or restart the link, or run a nested event loop that reads the next arrival:
    // one emission at a time, each checked when its turn comes.
    while (!m_outbox.empty()) {
        const Emission next = std::move(m_outbox.front());
        m_outbox.pop_front();
        if (next.run == m_run)
            next.fire();
    }
}

void ClusterLink::lose(const QString &reason, Loss loss, const QString &serverLine)
{
    advance(Step::Lost, loss, loss == Loss::Network ? reason : QStringLiteral("server: ") + serverLine);
}

void ClusterLink::onSocketGone(const QString &reason)
{
    const QString said = lastServerLine();
    if (isTakeOver(said))
        return lose(reason, Loss::TakenOver, said);
    // Once spots have come, a close is no answer to the login, however soon it follows.
    const bool answeringLogin = m_state == State::CallSent || m_state == State::LoggedIn;
    if (!said.isEmpty() && answeringLogin &&
        std::chrono::milliseconds(m_callSent.elapsed()) < m_timing.rejectWindow)
        return lose(reason, Loss::Rejected, said);
    lose(reason);
}

QString ClusterLink::lastServerLine() const
{
    // A last line without its line end is still what the server said last.
    QString line = decodeLine(m_framer.pending()).trimmed();
    if (line.isEmpty())
        line = decodeLine(m_framer.lastLine()).trimmed();
    line.truncate(kMaxShownServerLine);
    return line;
}

void ClusterLink::onIdleCheck()
{
    const std::chrono::milliseconds silent{m_lastArrival.elapsed()};
    const std::chrono::milliseconds deadline = m_timing.idleTimeout + m_timing.probeTimeout;
    if (silent >= deadline) {
        lose(QStringLiteral("no data for %1 s").arg(wholeSecondsUp(deadline)));
        return;
    }
    if (silent < m_timing.idleTimeout) {
        m_idleTimer.start(m_timing.idleTimeout - silent);
        return;
    }
    // Once per silence: the next check is at the deadline. Before the login an empty line would answer
    // the prompt; there silence alone decides.
    if (isLoggedIn())
        send(kProbe);
    m_idleTimer.start(deadline - silent);
}

void ClusterLink::onReadyRead()
{
    // The login steps count arrivals: everything read in this handler is one arrival.
    const State atArrival = m_state;
    const bool deliver = isLoggedIn();
    const bool logging = m_settings.isOn(Settings::Switch::LogFile) && m_log.isOpen();
    bool firstChunk = true;
    bool feedSeen = false;
    QString lines;

    while (m_socket && m_socket->bytesAvailable() > 0) {
        const QByteArray chunk = m_socket->readAll();
        if (chunk.isEmpty())
            break;
        // A silence long enough for the probe has ended: the next one is due a whole idle time from now.
        if (std::chrono::milliseconds(m_lastArrival.elapsed()) >= m_timing.idleTimeout)
            m_idleTimer.start(m_timing.idleTimeout);
        m_lastArrival.start();
        if (logging && !m_log.append(chunk))
            post([this, error = m_log.errorString()] { emit serverLogFailed(error); });

        // Framed in every state, so a line begun before the login completed is joined correctly.
        m_framer.feed(chunk, [&](QByteArrayView raw) {
            if (!deliver)
                return;
            feedSeen = feedSeen || raw.startsWith("DX de");
            if (m_lineFilter && !m_lineFilter(raw))
                return;
            appendDecodedLine(raw, lines);
            lines += u'\n';
        });

        if (atArrival == State::AwaitingPrompt && m_state == State::AwaitingPrompt) {
            if (containsPrompt(chunk))
                advance(Step::PromptSeen);
        } else if (atArrival == State::CallSent && firstChunk) {
            advance(Step::AnswerArrived);
        }
        firstChunk = false;
    }

    if (feedSeen)
        advance(Step::FeedSeen);
    if (!lines.isEmpty())
        post([this, lines = std::move(lines)] { emit linesReceived(lines); });
    flush();
}

bool ClusterLink::containsPrompt(QByteArrayView chunk)
{
    // The tail of the previous reads finds a prompt that the network split.
    m_promptTail.append(chunk);
    const bool found = std::any_of(kPrompts.begin(), kPrompts.end(),
                                   [this](QByteArrayView prompt) { return m_promptTail.contains(prompt); });
    m_promptTail = found ? QByteArray() : m_promptTail.right(kLongestPrompt - 1);
    return found;
}

bool ClusterLink::send(QByteArrayView bytes)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    return m_socket->write(bytes.data(), bytes.size()) == bytes.size();
}

QString ClusterLink::endpoint() const
{
    return QStringLiteral("%1:%2").arg(m_host).arg(m_port);
}
