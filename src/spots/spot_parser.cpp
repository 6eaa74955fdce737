#include "spots/spot_parser.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// 0-based layout positions of the standard line.
constexpr qsizetype kQrgColumn = 17;
constexpr qsizetype kQrgWidth = 7;
constexpr qsizetype kCallColumn = 26;
constexpr qsizetype kSpotterStart = 6; // after "DX de "

constexpr bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// What the parser looks for in a line.
enum class Unit { Blank, NotBlank, BlankOrColon, W };

template <Unit what> constexpr bool is(char16_t c)
{
    if constexpr (what == Unit::Blank)
        return isBlank(c);
    else if constexpr (what == Unit::NotBlank)
        return !isBlank(c);
    else if constexpr (what == Unit::BlankOrColon)
        return isBlank(c) || c == u':';
    else
        return c == u'W';
}

#if defined(__SSE2__)
// Bit i is set when units[i] is what is looked for, for the sixteen units from units.
template <Unit what> unsigned maskOf16(const char16_t *units)
{
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + 8));
    const auto equal = [&](char16_t c) {
        const __m128i wanted = _mm_set1_epi16(static_cast<short>(c));
        // Packing keeps a lane's all-ones or zero as one byte, so one movemask gives all sixteen.
        return _mm_packs_epi16(_mm_cmpeq_epi16(low, wanted), _mm_cmpeq_epi16(high, wanted));
    };
    const auto bits = [](__m128i lanes) { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); };
    if constexpr (what == Unit::W)
        return bits(equal(u'W'));
    const __m128i blanks = _mm_or_si128(equal(u' '), equal(u'\t'));
    if constexpr (what == Unit::Blank)
        return bits(blanks);
    else if constexpr (what == Unit::NotBlank)
        return ~bits(blanks) & 0xFFFFU;
    else
        return bits(_mm_or_si128(blanks, equal(u':')));
}
#endif

// The first position at or after from whose unit is what is looked for, or the line's size. Sixteen units
// are tested at a time; the last sixteen overlap what was tested already rather than going unit by unit.
template <Unit what> qsizetype find(QStringView line, qsizetype from)
{
    const char16_t *units = line.utf16();
    const qsizetype size = line.size();
#if defined(__SSE2__)
    if (size >= 16) {
        while (from < size) {
            const qsizetype at = std::min(from, size - 16);
            if (const unsigned hits = maskOf16<what>(units + at) >> (from - at))
                return from + std::countr_zero(hits);
            from = at + 16;
        }
        return size;
    }
#endif
    while (from < size && !is<what>(units[from]))
        ++from;
    return std::min(from, size);
}

struct Fields {
    QStringView qrg;
    QStringView call;
};

// An inline prefix test: the library's general one costs a call and a case switch per line.
template <qsizetype N> bool hasPrefix(QStringView line, const char16_t (&prefix)[N])
{
    if (line.size() < N - 1)
        return false;
    for (qsizetype i = 0; i < N - 1; ++i) {
        if (line[i] != prefix[i])
            return false;
    }
    return true;
}

// Position of the colon that ends the spotter field, or -1 when the line does not have one.
qsizetype spotterColon(QStringView line)
{
    if (!hasPrefix(line, u"DX de "))
        return -1;
    const qsizetype end = find<Unit::BlankOrColon>(line, kSpotterStart);
    return end < line.size() && line[end] == u':' ? end : -1;
}

std::optional<Fields> findFields(QStringView line, qsizetype cwPos)
{
    const qsizetype colon = spotterColon(line);
    if (colon >= 0) {
        const qsizetype qrgStart = find<Unit::NotBlank>(line, colon + 1);
        const qsizetype qrgEnd = find<Unit::Blank>(line, qrgStart);
        const qsizetype callStart = find<Unit::NotBlank>(line, qrgEnd);
        // A call field cannot hold a blank, so starting before " CW " means it ends there at the latest.
        if (qrgStart >= qrgEnd || callStart >= cwPos)
            return std::nullopt;
        return Fields{line.sliced(qrgStart, qrgEnd - qrgStart),
                      line.sliced(callStart, find<Unit::Blank>(line, callStart) - callStart)};
    }
    if (cwPos <= kCallColumn)
        return std::nullopt;
    const QStringView call = line.sliced(kCallColumn, cwPos - kCallColumn).trimmed();
    if (call.isEmpty())
        return std::nullopt;
    return Fields{line.sliced(kQrgColumn, kQrgWidth).trimmed(), call};
}

struct Markers {
    qsizetype cw = -1;  // the first " CW "
    qsizetype wpm = -1; // the first "WPM"
};

// Both markers hold a "W", a letter rare elsewhere in a spot line: one pass over the line's W's finds both.
Markers findMarkers(QStringView line)
{
    Markers found;
    const qsizetype size = line.size();
    for (qsizetype at = find<Unit::W>(line, 0); at < size; at = find<Unit::W>(line, at + 1)) {
        if (found.cw < 0 && at >= 2 && at + 1 < size && line[at - 2] == u' ' && line[at - 1] == u'C' &&
            line[at + 1] == u' ')
            found.cw = at - 2;
        else if (found.wpm < 0 && at + 2 < size && line[at + 1] == u'P' && line[at + 2] == u'M')
            found.wpm = at;
        if (found.cw >= 0 && found.wpm >= 0)
            break;
    }
    return found;
}

std::optional<SpotView> parseView(QStringView line)
{
    if (!hasPrefix(line, u"DX"))
        return std::nullopt;
    const Markers markers = findMarkers(line);
    if (markers.cw < 0)
        return std::nullopt;
    const std::optional<Fields> fields = findFields(line, markers.cw);
    if (!fields)
        return std::nullopt;

    SpotView spot;
    spot.line = line;
    spot.call = fields->call;
    spot.qrg = fields->qrg;
    spot.band = bandOfQrg(fields->qrg);
    spot.suffix = fields->call.size() > 2 ? fields->call.last(2) : fields->call;
    if (markers.wpm >= 4) {
        spot.wpmPos = static_cast<int>(markers.wpm + 1);
        spot.speedText = line.sliced(markers.wpm - 4, 3);
    }
    return spot;
}

std::optional<Spot> parse(QStringView line, const QString *shared)
{
    const std::optional<SpotView> view = parseView(line);
    if (!view)
        return std::nullopt;
    Spot spot;
    spot.line = shared ? *shared : line.toString();
    spot.call = view->call.toString();
    spot.qrg = view->qrg.toString();
    if (view->qrg.size() >= kQrgWidth) {
        spot.bandPrefix = view->qrg.first(2).toString();
    } else {
        // As the frequency stands right-aligned in its seven columns.
        spot.bandPrefix = QString(kQrgWidth - view->qrg.size(), u' ');
        spot.bandPrefix += view->qrg;
        spot.bandPrefix.truncate(2);
    }
    spot.band = view->band;
    spot.suffix = view->call.size() > 2 ? view->call.last(2).toString() : spot.call;
    spot.wpmPos = view->wpmPos;
    spot.speedText = view->speedText.toString();
    return spot;
}

} // namespace

std::optional<Spot> parseSpot(QStringView line)
{
    return parse(line, nullptr);
}

std::optional<SpotView> parseSpotView(QStringView line)
{
    return parseView(line);
}

std::optional<Spot> parseSpot(const QString &line)
{
    return parse(line, &line);
}

std::optional<Band> bandOfQrg(QStringView qrg)
{
    // One pass: up to nine digits of kHz, then optionally a point and more digits, nothing else.
    constexpr qsizetype kMaxKilohertzDigits = 9;
    const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    const char16_t *c = qrg.utf16();
    const char16_t *const end = c + qrg.size();
    long long value = 0;
    qsizetype digits = 0;
    for (; c != end && *c != u'.'; ++c, ++digits) {
        if (!isDigit(*c) || digits == kMaxKilohertzDigits)
            return std::nullopt;
        value = value * 10 + (*c - u'0');
    }
    if (digits == 0)
        return std::nullopt;
    if (c != end) {
        for (++c; c != end; ++c) {
            if (!isDigit(*c))
                return std::nullopt;
        }
    }
    return bandOfMegahertz(value / 1000);
}
