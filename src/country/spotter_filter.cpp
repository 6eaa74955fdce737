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
    const auto forget = [this] { m_slots.assign(kSlots, {}); };
    connect(&countries, &CountryLoader::loaded, this, forget);
    connect(&countries, &CountryLoader::failed, this, forget);
}

bool SpotterFilter::passes(QStringView line) const
{
    if (m_mask == 0)
        return true;
    const CountryTable *table = m_countries.table();
    if (!table)
        return true;
    const QStringView spotter = spotterOf(line);
    std::size_t hash = 2166136261u;
    for (const QChar c : spotter)
        hash = (hash ^ c.unicode()) * 16777619u;
    Slot &slot = m_slots[hash % kSlots];
    if (slot.spotter != spotter) {
        const std::optional<Resolved> resolved = table->resolve(spotter);
        slot.spotter = spotter.toString();
        slot.continent = resolved ? continentBit(resolved->continent) : 0;
    }
    return slot.continent == 0 || (slot.continent & m_mask) != 0;
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
