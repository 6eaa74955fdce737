#pragma once

#include "rig/rig_target.h"

#include <QObject>
#include <QString>

struct s_rig;

// One request to the radio and what came of it.
struct RigRequest {
    enum class Kind { Tune, Read };
    Kind kind = Kind::Tune;
    RigTarget target;
    qint64 hertz = 0; // Tune only
};

struct RigAnswer {
    bool ok = false;
    int error = 0;   // Hamlib's code
    QString failure; // "rig: connection refused", ...
    qint64 hertz = 0;
    QString mode; // "CW", "USB", ...
};

// Lives in the rig thread and makes the Hamlib calls, which may block for a serial timeout. Keeps the
// radio open between requests and opens it anew when the target changes or the link broke.
class RigWorker final : public QObject {
    Q_OBJECT
public:
    RigWorker() = default;
    ~RigWorker() override;

    RigAnswer run(const RigRequest &request);
    // run(), told by a signal: a receiver in another thread that is gone by then hears nothing.
    void handle(const RigRequest &request) { emit answered(request, run(request)); }

signals:
    void answered(const RigRequest &request, const RigAnswer &answer);

private:
    bool open(const RigTarget &target, RigAnswer &answer);
    void close();
    RigAnswer attempt(const RigRequest &request);

    s_rig *m_rig = nullptr;
    RigTarget m_opened;
};
