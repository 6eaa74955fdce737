#pragma once

#include <QString>

class Settings;

// Which radio to talk to, checked from the three setting texts ($RIGMODEL, $RIGPATH, $RIGSPEED).
struct RigTarget {
    // Longer paths do not fit Hamlib's port name.
    static constexpr int kMaxPathBytes = 511;

    int model = 0;   // 0 = no radio
    QString path;    // empty = the model's default port
    int speed = 0;   // 0 = the model's default speed
    QString problem; // why the texts do not name a usable radio; empty when they do

    // An empty model text means no radio and no problem. Anything else that Hamlib does not know, a
    // path with control characters or one too long, a speed that is no positive number: a problem.
    static RigTarget fromTexts(const QString &model, const QString &path, const QString &speed);
    static RigTarget fromSettings(const Settings &settings);

    bool isSet() const { return model > 0 && problem.isEmpty(); }
    bool operator==(const RigTarget &) const = default;
};
