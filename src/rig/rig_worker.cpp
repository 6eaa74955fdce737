#include "rig/rig_worker.h"

#include "rig/hamlib_catalog.h"

#include <hamlib/rig.h>

#include <cerrno>
#include <cstdlib>

namespace {

enum class Step { Open, Frequency, Mode, Read };

QString failureText(int code, int systemError, Step step)
{
    switch (std::abs(code)) {
    case RIG_EIO:
        if (systemError != 0) {
            QString why = qt_error_string(systemError);
            if (!why.isEmpty())
                why[0] = why[0].toLower();
            return QStringLiteral("rig: ") + why;
        }
        return QStringLiteral("rig: connection failed");
    case RIG_ETIMEOUT:
        return QStringLiteral("rig: no answer");
    case RIG_EPOWER:
        return QStringLiteral("rig: radio is off");
    case RIG_EINVAL:
    case RIG_ERJCTED:
    case RIG_EDOM:
    case RIG_EARG:
        return step == Step::Mode ? QStringLiteral("rig: CW refused")
                                  : QStringLiteral("rig: frequency refused");
    case RIG_ENIMPL:
    case RIG_ENAVAIL:
        return QStringLiteral("rig: not supported by this model");
    case RIG_ECONF:
        return QStringLiteral("rig: settings refused");
    case RIG_EPROTO:
        return QStringLiteral("rig: protocol error");
    default:
        return QStringLiteral("rig: Hamlib error %1").arg(code);
    }
}

bool isCw(rmode_t mode)
{
    return mode == RIG_MODE_CW || mode == RIG_MODE_CWR;
}

// The connection itself failed, not the request: worth a fresh start.
bool linkBroken(int code)
{
    return std::abs(code) == RIG_EIO || std::abs(code) == RIG_EPROTO;
}

bool setConf(RIG *rig, const char *name, const QByteArray &value)
{
    return rig_set_conf(rig, rig_token_lookup(rig, name), value.constData()) == RIG_OK;
}

} // namespace

RigWorker::~RigWorker()
{
    close();
}

void RigWorker::close()
{
    if (!m_rig)
        return;
    rig_close(m_rig);
    rig_cleanup(m_rig);
    m_rig = nullptr;
    m_opened = {};
}

bool RigWorker::open(const RigTarget &target, RigAnswer &answer)
{
    close();
    HamlibCatalog::load();
    m_rig = rig_init(static_cast<rig_model_t>(target.model));
    if (!m_rig) {
        answer.failure = QStringLiteral("rig: Hamlib cannot start model %1").arg(target.model);
        return false;
    }
    const auto model = HamlibCatalog::find(target.model);
    bool configured = true;
    if (!target.path.isEmpty())
        configured = setConf(m_rig, "rig_pathname", target.path.toLocal8Bit());
    if (configured && target.speed > 0 && model && model->serial)
        configured = setConf(m_rig, "serial_speed", QByteArray::number(target.speed));
    errno = 0;
    const int opened = configured ? rig_open(m_rig) : -RIG_ECONF;
    const int systemError = errno;
    if (opened != RIG_OK) {
        answer.error = opened;
        answer.failure = failureText(opened, systemError, Step::Open);
        rig_cleanup(m_rig);
        m_rig = nullptr;
        return false;
    }
    m_opened = target;
    return true;
}

RigAnswer RigWorker::run(const RigRequest &request)
{
    RigAnswer answer;
    const bool wasOpen = m_rig && m_opened == request.target;
    if (!wasOpen && !open(request.target, answer))
        return answer;
    answer = attempt(request);
    if (answer.ok || !linkBroken(answer.error))
        return answer;
    close();
    // A rigctld restarted, a cable plugged back in: one fresh start before telling the operator.
    if (!wasOpen || !open(request.target, answer))
        return answer;
    answer = attempt(request);
    if (!answer.ok && linkBroken(answer.error))
        close();
    return answer;
}

RigAnswer RigWorker::attempt(const RigRequest &request)
{
    RigAnswer answer;
    const auto fail = [&answer](int code, Step step) {
        answer.error = code;
        answer.failure = failureText(code, errno, step);
        return answer;
    };
    rmode_t mode = RIG_MODE_NONE;
    pbwidth_t width = 0;
    if (request.kind == RigRequest::Kind::Tune) {
        errno = 0;
        if (const int rc = rig_set_freq(m_rig, RIG_VFO_CURR, static_cast<freq_t>(request.hertz));
            rc != RIG_OK)
            return fail(rc, Step::Frequency);
        // A rig that cannot tell its mode is put in CW all the same.
        if (rig_get_mode(m_rig, RIG_VFO_CURR, &mode, &width) != RIG_OK || !isCw(mode)) {
            errno = 0;
            const int rc =
                rig_set_mode(m_rig, RIG_VFO_CURR, RIG_MODE_CW, rig_passband_normal(m_rig, RIG_MODE_CW));
            if (rc != RIG_OK)
                return fail(rc, Step::Mode);
            mode = RIG_MODE_CW;
        }
        answer.hertz = request.hertz;
    } else {
        freq_t hertz = 0;
        errno = 0;
        if (const int rc = rig_get_freq(m_rig, RIG_VFO_CURR, &hertz); rc != RIG_OK)
            return fail(rc, Step::Read);
        answer.hertz = static_cast<qint64>(hertz);
        if (rig_get_mode(m_rig, RIG_VFO_CURR, &mode, &width) != RIG_OK)
            mode = RIG_MODE_NONE;
    }
    answer.ok = true;
    answer.mode = mode == RIG_MODE_NONE ? QString() : QString::fromLatin1(rig_strrmode(mode));
    return answer;
}
