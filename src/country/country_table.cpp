#include "country/country_table.h"

#include <array>

namespace {

// Longer is garbage: no call or prefix comes near it.
constexpr qsizetype kMaxCall = 32;
constexpr int kMaxParts = 4;

// Suffixes that say how or where a station works, not which country it is in.
bool keepsHomeEntity(QStringView part)
{
    static constexpr std::array<QStringView, 13> kKeepHome = {
        u"P", u"M", u"A", u"B", u"J", u"R", u"QRP", u"QRPP", u"LH", u"LGT", u"YOTA", u"AE", u"AG"};
    if (part.size() == 1 && part[0].isDigit())
        return true;
    for (const QStringView suffix : kKeepHome) {
        if (part == suffix)
            return true;
    }
    return false;
}

bool isMobileAtSea(QStringView part)
{
    return part == u"MM" || part == u"AM";
}

} // namespace

std::optional<Resolved> CountryTable::resolve(QStringView call) const
{
    call = call.trimmed();
    if (call.isEmpty() || call.size() > kMaxCall)
        return std::nullopt;
    std::array<char16_t, kMaxCall> buffer{};
    for (qsizetype i = 0; i < call.size(); ++i) {
        const char16_t c = call[i].unicode();
        buffer[static_cast<std::size_t>(i)] = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    }
    const QStringView text(buffer.data(), call.size());
    if (!text.contains(u'/'))
        return resolveSingle(text, true);
    if (const Match *exact = findExact(text))
        return fromMatch(*exact);

    std::array<QStringView, kMaxParts> parts;
    int count = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size() && count < kMaxParts; ++i) {
        if (i < text.size() && text[i] != u'/')
            continue;
        const QStringView part = text.sliced(start, i - start);
        start = i + 1;
        if (part.isEmpty())
            continue;
        // A suffix says where the station is only when it is not a manner of working.
        if (count > 0 && isMobileAtSea(part))
            return std::nullopt;
        if (count > 0 && keepsHomeEntity(part))
            continue;
        parts[static_cast<std::size_t>(count++)] = part;
    }
    if (count == 0)
        return std::nullopt;
    if (count == 1)
        return resolveSingle(parts[0], true);

    // Of two parts, the one that is a prefix (a key of the file, else the shorter) decides.
    const QStringView first = parts[0];
    const QStringView second = parts[1];
    const bool firstIsKey = isPrefixKey(first);
    const bool secondIsKey = isPrefixKey(second);
    bool secondDecides = second.size() < first.size();
    if (firstIsKey != secondIsKey)
        secondDecides = secondIsKey;
    const QStringView prefix = secondDecides ? second : first;
    const QStringView home = secondDecides ? first : second;
    if (auto resolved = resolveSingle(prefix, false))
        return resolved;
    return resolveSingle(home, true);
}

const Entity *CountryTable::entityForDxcc(int dxcc) const
{
    const auto found = m_byDxcc.constFind(dxcc);
    return found == m_byDxcc.cend() ? nullptr : &m_entities[static_cast<std::size_t>(*found)];
}

CountryTable::Packed CountryTable::pack(QStringView upperCall)
{
    Packed packed;
    for (const QChar c : upperCall.first(std::min(upperCall.size(), kPackedLength))) {
        const char16_t u = c.unicode();
        quint64 symbol = 0;
        if (u >= u'0' && u <= u'9')
            symbol = u - u'0' + 1;
        else if (u >= u'A' && u <= u'Z')
            symbol = u - u'A' + 11;
        else if (u == u'/')
            symbol = 37;
        else
            break;
        packed.code |= symbol << (6 * (kPackedLength - 1 - packed.length));
        ++packed.length;
    }
    return packed;
}

const CountryTable::Match *CountryTable::findExact(QStringView call) const
{
    if (call.size() > kPackedLength) {
        const auto found = m_longExactCalls.constFind(call);
        return found == m_longExactCalls.cend() ? nullptr : &*found;
    }
    const Packed packed = pack(call);
    if (packed.length != call.size())
        return nullptr;
    const auto found = m_exactCalls.constFind(packed.code);
    return found == m_exactCalls.cend() ? nullptr : &*found;
}

bool CountryTable::isPrefixKey(QStringView part) const
{
    const Packed packed = pack(part);
    return packed.length == part.size() && packed.length <= m_longestPrefix &&
           m_prefixes.contains(packed.code);
}

std::optional<Resolved> CountryTable::resolveSingle(QStringView part, bool exactFirst) const
{
    if (exactFirst) {
        if (const Match *exact = findExact(part))
            return fromMatch(*exact);
    }
    const Packed packed = pack(part);
    for (qsizetype length = std::min(packed.length, m_longestPrefix); length > 0; --length) {
        const auto found = m_prefixes.constFind(prefixCode(packed.code, length));
        if (found != m_prefixes.cend())
            return fromMatch(*found);
    }
    return std::nullopt;
}

std::optional<Resolved> CountryTable::fromMatch(const Match &match) const
{
    return Resolved{&m_entities[static_cast<std::size_t>(match.entity)], match.continent, match.cqZone,
                    match.ituZone};
}
