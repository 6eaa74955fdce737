#pragma once

#include <QList>
#include <QString>

#include <optional>

// Hamlib's own list of rig models. The first use loads Hamlib's backends and silences its debug
// output (VEMROK_HAMLIB_DEBUG=1..5 turns it on, on stderr, for a rig that will not talk).
class HamlibCatalog final {
public:
    // Hamlib's "NET rigctl": a rigctld that the logger already runs.
    static constexpr int kNetRigctl = 2;
    static inline const QString kNetRigctlPath = QStringLiteral("localhost:4532");

    struct Model {
        int number = 0;
        QString name;        // "Yaesu FT-991", "Hamlib NET rigctl"
        bool serial = false; // a serial speed applies
        bool network = false;
    };

    HamlibCatalog() = delete;

    static void load();
    // NET rigctl first, then by maker and name.
    static QList<Model> models();
    static std::optional<Model> find(int number);
};
