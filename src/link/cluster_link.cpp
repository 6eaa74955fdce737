#include "link/cluster_link.h"

#include "link/server_log.h"
#include "model/settings.h"

#include <QLatin1StringView>
#include <QTcpSocket>

#include <algorithm>
#include <array>
#include <cstring>

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

// Counts the socket handlers on the stack: the socket must not be aborted from inside its own signal.
class SignalScope {
public:
    explicit SignalScope(int &depth) : m_depth(depth) { ++m_depth; }
    ~SignalScope() { --m_depth; }
    SignalScope(const SignalScope &) = delete;
    SignalScope &operator=(const SignalScope &) = delete;

private:
    int &m_depth;
};

} // namespace

ClusterLink::ClusterLink(Settings &settings, ServerLog &log, QObject *parent)
    : QObject(parent), m_settings(settings), m_log(log)
{
    for (QTimer *timer : {&m_retryTimer, &m_connectTimer, &m_idleTimer, &m_stableTimer})
        timer->setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &ClusterLink::connectNow);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        lose(QStringLiteral("no answer within %1 s").arg(wholeSecondsUp(m_timing.connectTimeout)));
    });
    connect(&m_idleTimer, &QTimer::timeout, this, &ClusterLink::onIdleCheck);
    connect(&m_stableTimer, &QTimer::timeout, this, [this] {
        m_nextDelay = m_timing.firstRetry;
        confirmFeed();
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
    m_running = true;
    m_nextDelay = m_timing.firstRetry;
    connectNow();
}

void ClusterLink::close()
{
    m_running = false;
    m_retryTimer.stop();
    detachSocket();
}

std::chrono::milliseconds ClusterLink::retryDelay() const
{
    return m_retryTimer.isActive() ? m_retryTimer.intervalAsDuration() : std::chrono::milliseconds(0);
}

void ClusterLink::connectNow()
{
    m_retryTimer.stop();
    detachSocket();
    if (!m_running)
        return;

    m_socket = new QTcpSocket(this);
    ++m_generation;
    const quint64 generation = m_generation;
    // Bounds what one arrival can hold; beyond it TCP makes the server wait.
    m_socket->setReadBufferSize(kReadBufferSize);
    connect(m_socket, &QTcpSocket::connected, this, &ClusterLink::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &ClusterLink::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &ClusterLink::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ClusterLink::onErrorOccurred);
    m_connectTimer.start(m_timing.connectTimeout);

    emit statusChanged(QStringLiteral("try connect server"));
    if (generation != m_generation)
        return;
    emit connectionChanged(Connection::Connecting, endpoint(), 0);
    if (generation != m_generation)
        return;
    // May report a refused connection at once (errorOccurred from inside); lose() copes with that.
    m_socket->connectToHost(m_host, m_port);
}

void ClusterLink::detachSocket()
{
    m_connectTimer.stop();
    m_idleTimer.stop();
    m_stableTimer.stop();
    m_connected = false;
    m_loginState = LoginState::WaitingForPrompt;
    m_callSent.invalidate();
    m_probed = false;
    m_feedConfirmed = false;
    m_lastLine.resize(0);
    m_framer.clear();
    m_promptTail.clear();
    m_pendingLines.resize(0);
    if (!m_socket)
        return;
    disconnect(m_socket, nullptr, this, nullptr);
    // Inside one of its own signals the socket is still in use by Qt; its destructor aborts it then.
    if (m_socketSignalDepth == 0)
        m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
    ++m_generation;
}

void ClusterLink::lose(const QString &reason, Loss loss, const QString &serverLine)
{
    if (!m_socket)
        return;
    const bool wasConnected = m_connected;
    detachSocket();
    if (!m_running)
        return;

    m_lastLoss = loss;
    std::chrono::milliseconds delay = m_timing.maxRetry;
    // Taking the session straight back would only throw the other client out in turn.
    if (loss != Loss::TakenOver) {
        delay = m_nextDelay;
        m_nextDelay = std::min(delay * 2, m_timing.maxRetry);
    }
    // The attempt is a timer event of its own: never reconnect from inside a socket signal.
    m_retryTimer.start(delay);

    const quint64 generation = m_generation;
    const int seconds = wholeSecondsUp(delay);
    const QString detail = loss == Loss::Network ? reason : QStringLiteral("server: ") + serverLine;
    // One arg() call: a "%1" in the server's text must stay text.
    emit statusChanged((wasConnected ? QStringLiteral("connection lost (%1), retry in %2 s")
                                     : QStringLiteral("connect failed (%1), retry in %2 s"))
                           .arg(detail, QString::number(seconds)));
    if (generation != m_generation)
        return;
    emit connectionChanged(Connection::Lost, detail, seconds);
}

void ClusterLink::onServerGone(const QString &reason)
{
    const QString said = lastServerLine();
    if (isTakeOver(said))
        return lose(reason, Loss::TakenOver, said);
    // Once spots have come, a close is no answer to the login, however soon it follows.
    if (!said.isEmpty() && !m_feedConfirmed && m_callSent.isValid() &&
        std::chrono::milliseconds(m_callSent.elapsed()) < m_timing.rejectWindow)
        return lose(reason, Loss::Rejected, said);
    lose(reason);
}

void ClusterLink::keepLastLine(QByteArrayView raw)
{
    if (raw.trimmed().isEmpty())
        return;
    m_lastLine.resize(raw.size());
    std::memcpy(m_lastLine.data(), raw.data(), static_cast<std::size_t>(raw.size()));
}

QString ClusterLink::lastServerLine() const
{
    // A last line without its line end is still what the server said last.
    QString line = decodeLine(m_framer.pending()).trimmed();
    if (line.isEmpty())
        line = decodeLine(m_lastLine).trimmed();
    line.truncate(kMaxShownServerLine);
    return line;
}

void ClusterLink::confirmFeed()
{
    if (m_feedConfirmed || m_loginState != LoginState::LoggedIn)
        return;
    m_feedConfirmed = true;
    emit feedConfirmed(endpoint());
}

void ClusterLink::onConnected()
{
    const SignalScope scope(m_socketSignalDepth);
    m_connectTimer.stop();
    m_connected = true;
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    m_lastArrival.start();
    m_probed = false;
    m_idleTimer.start(m_timing.idleTimeout);
    emit connectionChanged(Connection::Connected, endpoint(), 0);
}

void ClusterLink::onDisconnected()
{
    const SignalScope scope(m_socketSignalDepth);
    onServerGone(QStringLiteral("closed by server"));
}

void ClusterLink::onErrorOccurred(QAbstractSocket::SocketError error)
{
    Q_UNUSED(error);
    const SignalScope scope(m_socketSignalDepth);
    onServerGone(m_socket ? m_socket->errorString() : QString());
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
    // Before the login an empty line would answer the prompt; there silence alone decides.
    if (!m_probed && m_loginState == LoginState::LoggedIn) {
        m_probed = true;
        send(kProbe);
    }
    m_idleTimer.start(deadline - silent);
}

void ClusterLink::onReadyRead()
{
    const SignalScope scope(m_socketSignalDepth);
    const quint64 generation = m_generation;
    // The login steps count arrivals: everything read in this handler is one arrival.
    const LoginState atArrival = m_loginState;
    const bool deliver = atArrival == LoginState::LoggedIn;
    const bool logging = m_settings.isOn(Settings::Switch::LogFile) && m_log.isOpen();
    bool firstChunk = true;

    while (m_socket && m_socket->bytesAvailable() > 0) {
        const qint64 available = m_socket->bytesAvailable();
        m_readBuffer.resize(available);
        const qint64 got = m_socket->read(m_readBuffer.data(), available);
        if (got <= 0)
            break;
        const QByteArrayView chunk(m_readBuffer.constData(), got);
        m_lastArrival.start();
        // The probe was answered: the next one is due a whole idle time from now.
        if (m_probed) {
            m_probed = false;
            m_idleTimer.start(m_timing.idleTimeout);
        }
        if (logging && !m_log.append(chunk))
            emit serverLogFailed(m_log.errorString());

        // Framed in every state, so a line begun before the login completed is joined correctly.
        m_framer.feed(chunk, [this, deliver](QByteArrayView raw) {
            keepLastLine(raw);
            if (deliver) {
                // Copied by hand: QByteArray::append() goes through a general insert.
                const qsizetype at = m_pendingLines.size();
                m_pendingLines.resize(at + raw.size() + 1);
                char *to = m_pendingLines.data() + at;
                std::memcpy(to, raw.data(), static_cast<std::size_t>(raw.size()));
                to[raw.size()] = '\n';
            }
        });

        if (atArrival == LoginState::WaitingForPrompt && m_loginState == LoginState::WaitingForPrompt) {
            if (containsPrompt(chunk)) {
                answerPrompt();
                if (generation != m_generation)
                    return;
            }
        } else if (atArrival == LoginState::CallSent && firstChunk) {
            completeLogin();
            if (generation != m_generation)
                return;
        }
        firstChunk = false;
    }

    deliverPendingLines(generation);
}

void ClusterLink::deliverPendingLines(quint64 generation)
{
    // Taken out first: a listener may start a nested event loop that reads the next arrival.
    QByteArray lines;
    lines.swap(m_pendingLines);
    // One text for all lines of the arrival: decoding reuses its memory unless a listener kept a copy.
    QString line;
    const char *cursor = lines.constData();
    const char *const end = cursor + lines.size();
    while (cursor != end) {
        const auto *lf =
            static_cast<const char *>(std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor)));
        const QByteArrayView raw(cursor, lf - cursor);
        cursor = lf + 1;
        if (!m_feedConfirmed && raw.startsWith("DX de")) {
            confirmFeed();
            if (generation != m_generation)
                return;
        }
        decodeLine(raw, line);
        emit lineReceived(line);
        if (generation != m_generation)
            return;
    }
    lines.resize(0);
    if (m_pendingLines.isEmpty())
        m_pendingLines.swap(lines); // keeps the memory for the next arrival
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

void ClusterLink::answerPrompt()
{
    if (!send(QByteArray(m_settings.ownCall().toUtf8() + "\r\n")))
        return;
    m_loginState = LoginState::CallSent;
    m_callSent.start();
    // The prompt has no line end; answered, it must not be glued to the front of the next line. Neither
    // is it the server's answer to the callsign.
    m_framer.clear();
    m_lastLine.resize(0);
    emit statusChanged(QStringLiteral("login to Server"));
}

void ClusterLink::completeLogin()
{
    if (!send(kFilterCommand))
        return;
    m_loginState = LoginState::LoggedIn;
    m_stableTimer.start(m_timing.stableLogin);
    const quint64 generation = m_generation;
    emit statusChanged(QStringLiteral("connected to Host: %1 Port:%2").arg(m_host).arg(m_port));
    if (generation != m_generation)
        return;
    emit connectionChanged(Connection::LoggedIn, endpoint(), 0);
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
