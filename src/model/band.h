#pragma once

#include <QLatin1StringView>

#include <array>
#include <optional>

// The ten bands in their fixed order (the order of config lines and check boxes).
enum class Band { M160, M80, M60, M40, M30, M20, M17, M15, M12, M10 };

inline constexpr int kBandCount = 10;

struct BandInfo {
    Band band;
    QLatin1StringView caption;    // "160m"
    QLatin1StringView displayKey; // "$DX160 " - the blank is part of the key
    QLatin1StringView alarmKey;   // "$DX160AL"
    int megahertz;                // whole-MHz part of a frequency on this band
    bool portableAlarm;           // the portable alarm skips 60 m
};

inline constexpr std::array<BandInfo, kBandCount> kBands{{
    {Band::M160, QLatin1StringView("160m"), QLatin1StringView("$DX160 "), QLatin1StringView("$DX160AL"), 1,
     true},
    {Band::M80, QLatin1StringView("80m"), QLatin1StringView("$DX80 "), QLatin1StringView("$DX80AL"), 3, true},
    {Band::M60, QLatin1StringView("60m"), QLatin1StringView("$DX60 "), QLatin1StringView("$DX60AL"), 5,
     false},
    {Band::M40, QLatin1StringView("40m"), QLatin1StringView("$DX40 "), QLatin1StringView("$DX40AL"), 7, true},
    {Band::M30, QLatin1StringView("30m"), QLatin1StringView("$DX30 "), QLatin1StringView("$DX30AL"), 10,
     true},
    {Band::M20, QLatin1StringView("20m"), QLatin1StringView("$DX20 "), QLatin1StringView("$DX20AL"), 14,
     true},
    {Band::M17, QLatin1StringView("17m"), QLatin1StringView("$DX17 "), QLatin1StringView("$DX17AL"), 18,
     true},
    {Band::M15, QLatin1StringView("15m"), QLatin1StringView("$DX15 "), QLatin1StringView("$DX15AL"), 21,
     true},
    {Band::M12, QLatin1StringView("12m"), QLatin1StringView("$DX12 "), QLatin1StringView("$DX12AL"), 24,
     true},
    {Band::M10, QLatin1StringView("10m"), QLatin1StringView("$DX10 "), QLatin1StringView("$DX10AL"), 28,
     true},
}};

constexpr int bandIndex(Band band)
{
    return static_cast<int>(band);
}
constexpr const BandInfo &bandInfo(Band band)
{
    return kBands[static_cast<std::size_t>(bandIndex(band))];
}

// A frequency's whole-MHz part names the band; anything else (29, 50, 144 MHz) has none.
constexpr std::optional<Band> bandOfMegahertz(long long megahertz)
{
    for (const BandInfo &info : kBands) {
        if (info.megahertz == megahertz)
            return info.band;
    }
    return std::nullopt;
}
