#include "spots/spot_parser.h"

#include "spots/cluster_message.h"

#include <QLatin1StringView>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace {

// The library's prefix test costs more than the comparison of a few characters it makes here.
bool hasPrefix(QStringView line, QStringView prefix)
{
    return line.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), line.begin());
}

// 0-based layout positions of the standard line.
constexpr qsizetype kQrgColumn = 17;
constexpr qsizetype kQrgWidth = 7;
constexpr qsizetype kCallColumn = 26;
constexpr qsizetype kSpotterStart = 6; // after "DX de "

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The first position at or after from whose character passes test, or the line's size.
template <typename Test> qsizetype findFrom(QStringView line, qsizetype from, Test test)
{
    while (from < line.size() && !test(line[from]))
        ++from;
    return from;
}

qsizetype findBlank(QStringView line, qsizetype from)
{
    return findFrom(line, from, isBlank);
}

qsizetype findNotBlank(QStringView line, qsizetype from)
{
    return findFrom(line, from, [](QChar c) { return !isBlank(c); });
}

struct Fields {
    QStringView qrg;
    QStringView call;
};

// Position of the colon that ends the spotter field, or -1 when the line does not have one.
qsizetype spotterColon(QStringView line)
{
    if (!hasPrefix(line, u"DX de "))
        return -1;
    const qsizetype end = findFrom(line, kSpotterStart, [](QChar c) { return isBlank(c) || c == u':'; });
    return end < line.size() && line[end] == u':' ? end : -1;
}

std::optional<Fields> findFields(QStringView line, qsizetype cwPos)
{
    const qsizetype colon = spotterColon(line);
    if (colon >= 0) {
        const qsizetype qrgStart = findNotBlank(line, colon + 1);
        const qsizetype qrgEnd = findBlank(line, qrgStart);
        const qsizetype callStart = findNotBlank(line, qrgEnd);
        // A call field cannot hold a blank, so starting before " CW " means it ends there at the latest.
        if (qrgStart >= qrgEnd || callStart >= cwPos)
            return std::nullopt;
        return Fields{line.sliced(qrgStart, qrgEnd - qrgStart),
                      line.sliced(callStart, findBlank(line, callStart) - callStart)};
    }
    if (cwPos <= kCallColumn)
        return std::nullopt;
    const QStringView call = line.sliced(kCallColumn, cwPos - kCallColumn).trimmed();
    if (call.isEmpty())
        return std::nullopt;
    return Fields{line.sliced(kQrgColumn, kQrgWidth).trimmed(), call};
}

// People on a cluster write no mode word; RBN always does.
constexpr std::array<QLatin1StringView, 21> kModeWords{
    QLatin1StringView("FT8"),    QLatin1StringView("FT4"),   QLatin1StringView("RTTY"),
    QLatin1StringView("PSK"),    QLatin1StringView("PSK31"), QLatin1StringView("PSK63"),
    QLatin1StringView("BPSK"),   QLatin1StringView("SSB"),   QLatin1StringView("USB"),
    QLatin1StringView("LSB"),    QLatin1StringView("AM"),    QLatin1StringView("FM"),
    QLatin1StringView("JT65"),   QLatin1StringView("JT9"),   QLatin1StringView("MSK144"),
    QLatin1StringView("Q65"),    QLatin1StringView("JS8"),   QLatin1StringView("SSTV"),
    QLatin1StringView("OLIVIA"), QLatin1StringView("DIGI"),  QLatin1StringView("DATA")};

bool isModeWord(QStringView word)
{
    return std::any_of(kModeWords.begin(), kModeWords.end(), [word](QLatin1StringView mode) {
        return word.compare(mode, Qt::CaseInsensitive) == 0;
    });
}

bool holdsModeWord(QStringView text)
{
    for (qsizetype at = findNotBlank(text, 0); at < text.size();) {
        const qsizetype end = findBlank(text, at);
        if (isModeWord(text.sliced(at, end - at)))
            return true;
        at = findNotBlank(text, end);
    }
    return false;
}

// A line without " CW ": the same fields, kept only when the frequency is a CW one and the comment after
// the call names no other mode.
std::optional<Fields> findFieldsByFrequency(QStringView line)
{
    QStringView qrg;
    qsizetype callStart = 0;
    if (const qsizetype colon = spotterColon(line); colon >= 0) {
        const qsizetype qrgStart = findNotBlank(line, colon + 1);
        const qsizetype qrgEnd = findBlank(line, qrgStart);
        qrg = line.sliced(qrgStart, qrgEnd - qrgStart);
        callStart = findNotBlank(line, qrgEnd);
    } else {
        if (line.size() <= kCallColumn)
            return std::nullopt;
        qrg = line.sliced(kQrgColumn, kQrgWidth).trimmed();
        callStart = findNotBlank(line, kCallColumn);
    }
    if (!isCwFrequency(qrg))
        return std::nullopt;
    const qsizetype callEnd = findBlank(line, callStart);
    if (callStart >= callEnd || holdsModeWord(line.sliced(callEnd)))
        return std::nullopt;
    return Fields{qrg, line.sliced(callStart, callEnd - callStart)};
}

struct Markers {
    qsizetype cw = -1;  // the first " CW "
    qsizetype wpm = -1; // the first "WPM"
};

// Both markers hold a W, a letter rare elsewhere in a spot line: one pass over the line's W's finds both.
Markers findMarkers(QStringView line)
{
    Markers found;
    for (auto w = std::find(line.begin(), line.end(), u'W'); w != line.end();
         w = std::find(w + 1, line.end(), u'W')) {
        const qsizetype at = w - line.begin();
        if (found.cw < 0 && at >= 2 && hasPrefix(line.sliced(at - 2), u" CW "))
            found.cw = at - 2;
        else if (found.wpm < 0 && hasPrefix(line.sliced(at), u"WPM"))
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
    const qsizetype cw = markers.cw;
    const std::optional<Fields> fields = cw >= 0 ? findFields(line, cw) : findFieldsByFrequency(line);
    if (!fields)
        return std::nullopt;

    SpotView spot;
    spot.line = line;
    spot.call = fields->call;
    spot.qrg = fields->qrg;
    spot.band = bandOfQrg(fields->qrg);
    spot.suffix = fields->call.size() > 2 ? fields->call.last(2) : fields->call;
    // A spot taken by its frequency has no speed, whatever its comment says.
    if (const qsizetype wpm = cw >= 0 ? markers.wpm : -1; wpm >= 4) {
        spot.wpmPos = static_cast<int>(wpm + 1);
        spot.speedText = line.sliced(wpm - 4, 3);
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

bool isCwFrequency(QStringView qrg)
{
    struct Segment {
        double from; // kHz, included
        double to;   // kHz, excluded
    };
    // The CW segments of the IARU Region 1 band plan.
    constexpr std::array<Segment, 10> kSegments{{{1810, 1838},
                                                 {3500, 3570},
                                                 {5351.5, 5354},
                                                 {7000, 7040},
                                                 {10100, 10130},
                                                 {14000, 14070},
                                                 {18068, 18095},
                                                 {21000, 21070},
                                                 {24890, 24915},
                                                 {28000, 28070}}};
    // bandOfQrg admits plain decimal numbers only, and every segment lies in a band.
    if (!bandOfQrg(qrg))
        return false;
    // Plain ASCII digits and a point, so the bytes are the text; from_chars skips the locale machinery that
    // costs thousands of instructions a line.
    const QByteArray text = qrg.toLatin1();
    double khz = 0;
    const auto [end, error] = std::from_chars(text.cbegin(), text.cend(), khz);
    return error == std::errc() && end == text.cend() &&
           std::any_of(kSegments.begin(), kSegments.end(),
                       [khz](const Segment &s) { return khz >= s.from && khz < s.to; });
}

QByteArrayView spottedCallBytes(QByteArrayView line)
{
    // The parser's field rules on the bytes, in one pass that stops at the call's end. Decoding removes
    // control bytes (a field made only of them would vanish) and turns no byte into a blank or a colon, so a
    // control byte before the call's end leaves the line to the parser, and so does a call that is not
    // plain ASCII. Plain loops: this runs on every line of a burst, and its cost is most of the drain's.
    constexpr char kStart[] = "DX de ";
    if (line.size() < kSpotterStart || std::memcmp(line.data(), kStart, kSpotterStart) != 0)
        return {};
    const auto inField = [](char c) { return static_cast<uchar>(c) > ' ' && c != '\x7f'; };
    const auto plain = [](char c) { return static_cast<uchar>(c - '!') < 0x5E; }; // '!' to '~'
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const char *const end = line.data() + line.size();
    const char *at = line.data() + kSpotterStart;
    while (at != end && inField(*at) && *at != ':')
        ++at;
    if (at == end || *at != ':')
        return {};
    ++at;
    while (at != end && blank(*at))
        ++at;
    const char *const qrgStart = at;
    while (at != end && inField(*at))
        ++at;
    if (at == qrgStart)
        return {};
    while (at != end && blank(*at))
        ++at;
    const char *const callStart = at;
    while (at != end && plain(*at))
        ++at;
    if (at != end && !blank(*at))
        return {};
    return QByteArrayView(callStart, at - callStart);
}

qsizetype spotRecordStart(QStringView line)
{
    if (hasPrefix(line, u"DX"))
        return 0;
    if (parseClusterMessage(line))
        return -1;
    // A node prompt sent without a line end glues itself to the front of the next spot line.
    const qsizetype start = line.indexOf(u"DX de ");
    if (start <= 0)
        return -1;
    qsizetype end = start;
    while (end > 0 && isBlank(line[end - 1]))
        --end;
    return end > 0 && line[end - 1] == u'>' ? start : -1;
}
