#include "cluster/spot_parser.h"

#include <bit>
#include <cstring>

namespace {

// 0-based layout positions of the standard line.
constexpr qsizetype kQrgColumn = 17;
constexpr qsizetype kQrgWidth = 7;
constexpr qsizetype kCallColumn = 26;
constexpr qsizetype kSpotterStart = 6; // after "DX de "

constexpr bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

qsizetype skipBlanks(QStringView line, qsizetype from)
{
    while (from < line.size() && isBlank(line[from]))
        ++from;
    return from;
}

qsizetype fieldEnd(QStringView line, qsizetype from)
{
    while (from < line.size() && !isBlank(line[from]))
        ++from;
    return from;
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
    for (qsizetype i = kSpotterStart; i < line.size(); ++i) {
        if (line[i] == u':')
            return i;
        if (isBlank(line[i]))
            return -1;
    }
    return -1;
}

std::optional<Fields> findFields(QStringView line, qsizetype cwPos)
{
    const qsizetype colon = spotterColon(line);
    if (colon >= 0) {
        const qsizetype qrgStart = skipBlanks(line, colon + 1);
        const qsizetype qrgEnd = fieldEnd(line, qrgStart);
        const qsizetype callStart = skipBlanks(line, qrgEnd);
        // A call field cannot hold a blank, so starting before " CW " means it ends there at the latest.
        if (qrgStart >= qrgEnd || callStart >= cwPos)
            return std::nullopt;
        return Fields{line.sliced(qrgStart, qrgEnd - qrgStart),
                      line.sliced(callStart, fieldEnd(line, callStart) - callStart)};
    }
    if (cwPos <= kCallColumn)
        return std::nullopt;
    const QStringView call = line.sliced(kCallColumn, cwPos - kCallColumn).trimmed();
    if (call.isEmpty())
        return std::nullopt;
    return Fields{line.sliced(kQrgColumn, kQrgWidth).trimmed(), call};
}

// Next position of c in text at or after from, or -1. Tests four UTF-16 units at a time (a zero lane of
// text XOR c marks a hit); spot lines are too short for the library's search to pay for its call.
qsizetype findChar(QStringView text, char16_t c, qsizetype from)
{
    const char16_t *units = text.utf16();
    const qsizetype size = text.size();
    if constexpr (std::endian::native == std::endian::little) {
        constexpr quint64 kOnes = 0x0001'0001'0001'0001ULL;
        constexpr quint64 kHighs = 0x8000'8000'8000'8000ULL;
        const quint64 pattern = kOnes * c;
        for (; from + 4 <= size; from += 4) {
            quint64 word;
            std::memcpy(&word, units + from, sizeof word);
            const quint64 x = word ^ pattern;
            // The lowest marked lane is the first zero lane; lanes above it may be marked falsely.
            if (const quint64 zero = (x - kOnes) & ~x & kHighs)
                return from + std::countr_zero(zero) / 16;
        }
    }
    for (; from < size; ++from) {
        if (units[from] == c)
            return from;
    }
    return -1;
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
    for (qsizetype at = findChar(line, u'W', 0); at >= 0; at = findChar(line, u'W', at + 1)) {
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
