#include "country/worked_index.h"

#include "country/adif_reader.h"

#include <QByteArray>

#include <array>
#include <charconv>
#include <cmath>

namespace {

std::uint16_t bit(Band band)
{
    return static_cast<std::uint16_t>(1U << bandIndex(band));
}

bool isYes(QByteArrayView value)
{
    const QByteArrayView trimmed = value.trimmed();
    return trimmed.size() == 1 && (trimmed[0] == 'Y' || trimmed[0] == 'y');
}

// The bands' edges in kHz as the ADIF band table gives them.
struct BandEdges {
    Band band;
    int lowKhz;
    int highKhz;
};
constexpr std::array<BandEdges, kBandCount> kEdges{{
    {Band::M160, 1800, 2000},
    {Band::M80, 3500, 4000},
    {Band::M60, 5060, 5450},
    {Band::M40, 7000, 7300},
    {Band::M30, 10100, 10150},
    {Band::M20, 14000, 14350},
    {Band::M17, 18068, 18168},
    {Band::M15, 21000, 21450},
    {Band::M12, 24890, 24990},
    {Band::M10, 28000, 29700},
}};

std::optional<int> wholeNumber(QByteArrayView text)
{
    const QByteArrayView trimmed = text.trimmed();
    int value = 0;
    const char *end = trimmed.data() + trimmed.size();
    const auto [ptr, ec] = std::from_chars(trimmed.data(), end, value);
    if (ec != std::errc() || ptr != end || trimmed.isEmpty())
        return std::nullopt;
    return value;
}

} // namespace

void WorkedIndex::add(int dxcc, std::optional<Band> band, bool confirmed)
{
    if (dxcc <= 0 || dxcc > kMaxDxcc)
        return;
    if (m_slots.size() <= static_cast<std::size_t>(dxcc))
        m_slots.resize(static_cast<std::size_t>(dxcc) + 1);
    Slot &slot = m_slots[static_cast<std::size_t>(dxcc)];
    ++m_cwQsos;
    slot.anyWorked = true;
    slot.anyConfirmed = slot.anyConfirmed || confirmed;
    if (!band)
        return;
    slot.worked |= bit(*band);
    if (confirmed)
        slot.confirmed |= bit(*band);
}

void WorkedIndex::addQso(const AdifQso &qso, const std::function<int(QByteArrayView call)> &dxccOfCall)
{
    if (!isCw(qso.mode))
        return;
    // DXCC 0 is the format's "no entity" (a ship at sea); a field that is no number leaves it to the call.
    const auto field = wholeNumber(qso.dxcc);
    const QByteArrayView call = qso.call.trimmed();
    if (!field && call.isEmpty())
        return;
    add(field ? *field : dxccOfCall(call), bandOf(qso.band, qso.freq),
        isYes(qso.qslRcvd) || isYes(qso.lotwQslRcvd));
}

WorkedIndex::Need WorkedIndex::need(int dxcc, Band band, bool confirmedOnly) const
{
    if (dxcc <= 0 || dxcc > kMaxDxcc)
        return Need::None;
    const Slot slot =
        static_cast<std::size_t>(dxcc) < m_slots.size() ? m_slots[static_cast<std::size_t>(dxcc)] : Slot{};
    if (!(confirmedOnly ? slot.anyConfirmed : slot.anyWorked))
        return Need::NewEntity;
    return ((confirmedOnly ? slot.confirmed : slot.worked) & bit(band)) ? Need::None : Need::NewBand;
}

int WorkedIndex::entityCount(bool confirmedOnly) const
{
    int count = 0;
    for (const Slot &slot : m_slots)
        count += (confirmedOnly ? slot.anyConfirmed : slot.anyWorked) ? 1 : 0;
    return count;
}

std::optional<Band> WorkedIndex::bandOf(QByteArrayView band, QByteArrayView freqMhz)
{
    const QByteArrayView name = band.trimmed();
    if (!name.isEmpty()) {
        for (const BandInfo &info : kBands) {
            if (name.size() == info.caption.size() &&
                qstrnicmp(name.data(), info.caption.data(), static_cast<size_t>(name.size())) == 0)
                return info.band;
        }
        return std::nullopt;
    }
    bool ok = false;
    const double mhz = QByteArray::fromRawData(freqMhz.data(), freqMhz.size()).trimmed().toDouble(&ok);
    if (!ok || !(mhz > 0 && mhz < 1e6))
        return std::nullopt;
    const int khz = static_cast<int>(std::lround(mhz * 1000.0));
    for (const BandEdges &edges : kEdges) {
        if (khz >= edges.lowKhz && khz <= edges.highKhz)
            return edges.band;
    }
    return std::nullopt;
}

bool WorkedIndex::isCw(QByteArrayView mode)
{
    const QByteArrayView m = mode.trimmed();
    const auto is = [m](const char *name) {
        return m.size() == static_cast<qsizetype>(qstrlen(name)) &&
               qstrnicmp(m.data(), name, static_cast<size_t>(m.size())) == 0;
    };
    return is("CW") || is("CWR") || is("CW-R");
}
