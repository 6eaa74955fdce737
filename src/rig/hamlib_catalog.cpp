#include "rig/hamlib_catalog.h"

#include <hamlib/rig.h>

#include <QtGlobal>

#include <algorithm>
#include <clocale>

namespace {

HamlibCatalog::Model modelOf(const rig_caps &caps)
{
    HamlibCatalog::Model model;
    model.number = static_cast<int>(caps.rig_model);
    model.name = QString::fromLatin1(caps.mfg_name) + u' ' + QString::fromLatin1(caps.model_name);
    model.serial = caps.port_type == RIG_PORT_SERIAL;
    model.network = caps.port_type == RIG_PORT_NETWORK || caps.port_type == RIG_PORT_UDP_NETWORK;
    return model;
}

int collect(const rig_caps *caps, rig_ptr_t data)
{
    if (caps)
        static_cast<QList<HamlibCatalog::Model> *>(data)->append(modelOf(*caps));
    return 1; // go on
}

} // namespace

void HamlibCatalog::load()
{
    // Once per process, from whichever thread comes first; Hamlib's tables are read-only afterwards.
    static const bool loaded = [] {
        // Hamlib switches LC_NUMERIC to "C" around its calls and back, from the rig thread, reading a name
        // that the switch frees. With "C" already in place the switch is a no-op. The program formats its
        // numbers with Qt, which does not depend on it.
        std::setlocale(LC_NUMERIC, "C");
        const int level = qBound(0, qEnvironmentVariableIntValue("VEMROK_HAMLIB_DEBUG"), 5);
        rig_set_debug(static_cast<rig_debug_level_e>(level));
        rig_load_all_backends();
        return true;
    }();
    Q_UNUSED(loaded);
}

QList<HamlibCatalog::Model> HamlibCatalog::models()
{
    load();
    QList<Model> list;
    rig_list_foreach(collect, &list);
    std::sort(list.begin(), list.end(), [](const Model &a, const Model &b) {
        if ((a.number == kNetRigctl) != (b.number == kNetRigctl))
            return a.number == kNetRigctl;
        const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.number < b.number;
    });
    return list;
}

std::optional<HamlibCatalog::Model> HamlibCatalog::find(int number)
{
    load();
    const rig_caps *caps = rig_get_caps(static_cast<rig_model_t>(number));
    if (!caps)
        return std::nullopt;
    return modelOf(*caps);
}
