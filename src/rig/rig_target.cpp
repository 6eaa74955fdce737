#include "rig/rig_target.h"

#include "model/number_text.h"
#include "model/settings.h"
#include "rig/hamlib_catalog.h"

#include <algorithm>

RigTarget RigTarget::fromTexts(const QString &model, const QString &path, const QString &speed)
{
    RigTarget target;
    if (model.trimmed().isEmpty())
        return target;
    const auto number = parseWholeNumberIn(model, 1, 999999);
    if (!number) {
        target.problem = QStringLiteral("$RIGMODEL \"%1\" is not a Hamlib model number").arg(model);
        return target;
    }
    const auto known = HamlibCatalog::find(static_cast<int>(*number));
    if (!known) {
        target.problem = QStringLiteral("Hamlib knows no rig model %1").arg(*number);
        return target;
    }
    target.model = known->number;

    target.path = path.trimmed();
    const bool control = std::any_of(target.path.cbegin(), target.path.cend(),
                                     [](QChar c) { return c.category() == QChar::Other_Control; });
    if (control || target.path.toLocal8Bit().size() > kMaxPathBytes) {
        target.problem = QStringLiteral("$RIGPATH is not a device or host:port");
        return target;
    }

    if (!speed.trimmed().isEmpty()) {
        const auto baud = parseWholeNumberIn(speed, 1, 10000000);
        if (!baud) {
            target.problem = QStringLiteral("$RIGSPEED \"%1\" is not a serial speed").arg(speed);
            return target;
        }
        target.speed = static_cast<int>(*baud);
    }
    return target;
}

RigTarget RigTarget::fromSettings(const Settings &settings)
{
    return fromTexts(settings.text(Settings::Text::RigModel), settings.text(Settings::Text::RigPath),
                     settings.text(Settings::Text::RigSpeed));
}
