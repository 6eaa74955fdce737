#include "country/spotter_filter.h"

#include "country/country_loader.h"
#include "country/country_table.h"
#include "model/settings.h"

#include <array>

namespace {

constexpr std::array<QStringView, 7> kContinents = {u"AF", u"AN", u"AS", u"EU", u"NA", u"OC", u"SA"};

unsigned continentBit(QStringView continent)
{
    for (std::size_t i = 0; i < kContinents.size(); ++i) {
        if (continent.compare(kContinents[i], Qt::CaseInsensitive) == 0)
            return 1u << i;
    }
    return 0;
}

} // namespace

SpotterFilter::SpotterFilter(const Settings &settings, CountryLoader &countries, QObject *parent)
    : QObject(parent), m_countries(countries),
      m_mask(continentMask(settings.text(Settings::Text::SpotterCont)))
{
    connect(&settings, &Settings::textChanged, this, [this](Settings::Text which, const QString &value) {
        if (which == Settings::Text::SpotterCont)
            m_mask = continentMask(value);
    });
    // A failed load leaves no table, and without one the cache is not asked.
    connect(&countries, &CountryLoader::loaded, this, [this] { m_slots.assign(kSlots, {}); });
}

bool SpotterFilter::passes(QStringView line) const
{
    if (m_mask == 0)
        return true;
    const CountryTable *table = m_countries.table();
    if (!table)
        return true;
    const unsigned continent = continentOf(spotterOf(line));
    return continent == 0 || (continent & m_mask) != 0;
}

unsigned SpotterFilter::continentOf(QStringView spotter) const
{
    const auto resolve = [this](QStringView call) -> unsigned {
        const std::optional<Resolved> resolved = m_countries.table()->resolve(call);
        return resolved ? continentBit(resolved->continent) : 0;
    };
    Slot probe;
    if (spotter.size() > static_cast<qsizetype>(probe.call.size()))
        return resolve(spotter);
    std::size_t hash = 2166136261u;
    for (qsizetype i = 0; i < spotter.size(); ++i) {
        const char16_t u = spotter[i].unicode();
        if (u > 0x7f)
            return resolve(spotter);
        probe.call[static_cast<std::size_t>(i)] = static_cast<char>(u);
        hash = (hash ^ u) * 16777619u;
    }
    probe.length = static_cast<quint8>(spotter.size());
    Slot &slot = m_slots[hash % kSlots];
    if (slot.length != probe.length || slot.call != probe.call || slot.length == 0) {
        slot = probe;
        slot.continent = static_cast<quint8>(resolve(spotter));
    }
    return slot.continent;
}

QStringView SpotterFilter::spotterOf(QStringView line)
{
    constexpr QStringView kDxDe = u"DX de ";
    if (!line.startsWith(kDxDe))
        return {};
    QStringView call = line.sliced(kDxDe.size());
    qsizetype end = 0;
    while (end < call.size() && call[end] != u' ' && call[end] != u':')
        ++end;
    call = call.first(end);
    if (call.size() >= 2 && call[call.size() - 2] == u'-' && (call.back() == u'#' || call.back().isDigit()))
        call.chop(2);
    return call;
}

unsigned SpotterFilter::continentMask(QStringView text)
{
    unsigned mask = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u',' && !text[i].isSpace())
            continue;
        mask |= continentBit(text.sliced(start, i - start));
        start = i + 1;
    }
    return mask;
}
