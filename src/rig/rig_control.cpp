#include "rig/rig_control.h"

#include "model/settings.h"

#include <QThread>

#include <cmath>

#ifdef Q_OS_UNIX
#include <csignal>
#include <pthread.h>
#endif

namespace {

QString answerText(const RigAnswer &answer)
{
    QString text = RigControl::kilohertzText(answer.hertz) + QStringLiteral(" kHz");
    if (!answer.mode.isEmpty())
        text += u' ' + answer.mode;
    return text;
}

} // namespace

RigControl::RigControl(const Settings &settings, QObject *parent) : QObject(parent), m_settings(settings) {}

RigControl::~RigControl()
{
    if (!m_thread)
        return;
    m_thread->quit();
    if (!m_thread->wait(kExitWaitMs)) {
        // Stuck in a call to a radio that does not answer: the end of the process takes the thread.
        static_cast<void>(m_thread.release());
        static_cast<void>(m_worker.release());
        return;
    }
    m_worker.reset(); // closes the radio
}

bool RigControl::isSet() const
{
    return RigTarget::fromSettings(m_settings).isSet();
}

QString RigControl::settingsProblem() const
{
    return RigTarget::fromSettings(m_settings).problem;
}

std::optional<qint64> RigControl::hertzFromKilohertz(QStringView text)
{
    bool ok = false;
    const double kHz = text.trimmed().toDouble(&ok);
    // Below 1 kHz or above 1000 GHz no radio tunes; such text is not a spot's frequency.
    if (!ok || !std::isfinite(kHz) || kHz < 1.0 || kHz > 1e9)
        return std::nullopt;
    return std::llround(kHz * 1000.0);
}

QString RigControl::kilohertzText(qint64 hertz)
{
    return QString::number(static_cast<double>(hertz) / 1000.0, 'f', 1);
}

void RigControl::tune(const QString &kiloHertz)
{
    const RigTarget target = RigTarget::fromSettings(m_settings);
    if (target.model == 0 && target.problem.isEmpty())
        return;
    if (!target.problem.isEmpty()) {
        emit statusChanged(QStringLiteral("rig: ") + target.problem);
        return;
    }
    const auto hertz = hertzFromKilohertz(kiloHertz);
    if (!hertz) {
        emit statusChanged(QStringLiteral("rig: \"%1\" is no frequency").arg(kiloHertz));
        return;
    }
    submit({RigRequest::Kind::Tune, target, *hertz});
}

void RigControl::test(const RigTarget &target)
{
    if (!target.problem.isEmpty()) {
        emit tested(QStringLiteral("rig: ") + target.problem);
        return;
    }
    if (target.model == 0) {
        emit tested(QStringLiteral("rig: no model chosen"));
        return;
    }
    submit({RigRequest::Kind::Read, target, 0});
}

void RigControl::submit(const RigRequest &request)
{
    if (!m_busy) {
        start(request);
        return;
    }
    (request.kind == RigRequest::Kind::Tune ? m_waitingTune : m_waitingTest) = request;
}

void RigControl::start(const RigRequest &request)
{
    if (!m_thread) {
        m_thread = std::make_unique<QThread>();
        m_thread->setObjectName(QStringLiteral("rig"));
        m_worker = std::make_unique<RigWorker>();
        m_worker->moveToThread(m_thread.get());
        connect(m_worker.get(), &RigWorker::answered, this, &RigControl::finished);
        m_thread->start();
#ifdef Q_OS_UNIX
        // A rigctld that went away makes a write raise SIGPIPE, which would end the program; blocked in
        // this thread, the write just fails and Hamlib reports it.
        QMetaObject::invokeMethod(m_worker.get(), [] {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        });
#endif
    }
    m_busy = true;
    RigWorker *worker = m_worker.get();
    QMetaObject::invokeMethod(worker, [worker, request] { worker->handle(request); });
}

void RigControl::finished(const RigRequest &request, const RigAnswer &answer)
{
    m_busy = false;
    if (request.kind == RigRequest::Kind::Tune)
        emit statusChanged(answer.ok ? QStringLiteral("rig: ") + answerText(answer) : answer.failure);
    else
        emit tested(answer.ok ? answerText(answer) : answer.failure);

    std::optional<RigRequest> next;
    next.swap(m_waitingTune.has_value() ? m_waitingTune : m_waitingTest);
    if (next)
        start(*next);
}
