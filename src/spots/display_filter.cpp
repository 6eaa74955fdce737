#include "spots/display_filter.h"

#include "model/band.h"
#include "model/number_text.h"
#include "model/settings.h"
#include "spots/cluster_message.h"
#include "spots/spot.h"

#include <algorithm>

bool passesDisplayFilter(const Spot &spot, const Settings &settings)
{
    return passesDisplayFilter(spot.view(), settings);
}

bool passesDisplayFilter(const SpotView &spot, const Settings &settings)
{
    bool show = settings.isOn(Settings::Switch::DxMsgAll) ||
                (spot.band && settings.isOn(Settings::displaySwitch(*spot.band)));
    if (!show)
        return false;
    if (settings.isOn(Settings::Switch::QrqMsg) && spot.wpmPos != 0) {
        // A speed or threshold that is not a whole number leaves the speed test out.
        const auto speed = parseWholeNumber(spot.speedText);
        const auto threshold = parseWholeNumber(settings.text(Settings::Text::QrqSpeed));
        if (speed && threshold && *speed < *threshold)
            return false;
    }
    if (settings.isOn(Settings::Switch::PortMsg) && !spot.isPortableDisplay())
        return false;
    return true;
}

bool mayShowSpots(const Settings &settings)
{
    return settings.isOn(Settings::Switch::DxMsgAll) ||
           std::any_of(kBands.begin(), kBands.end(), [&settings](const BandInfo &info) {
               return settings.isOn(Settings::displaySwitch(info.band));
           });
}

bool passesMessageFilter(const ClusterMessage &message, const Settings &settings)
{
    if (message.kind == ClusterMessage::Kind::Announcement)
        return settings.isOn(Settings::Switch::DxMsgAll);
    const QString ownCall = settings.ownCall().trimmed();
    return !ownCall.isEmpty() && message.to.compare(ownCall, Qt::CaseInsensitive) == 0;
}
