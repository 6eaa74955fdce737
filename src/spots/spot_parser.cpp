#include "spots/spot_parser.h"

namespace {

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
    if (!line.startsWith(u"DX de "))
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

std::optional<SpotView> parseView(QStringView line)
{
    if (!line.startsWith(u"DX"))
        return std::nullopt;
    const qsizetype cw = line.indexOf(u" CW ");
    if (cw < 0)
        return std::nullopt;
    const std::optional<Fields> fields = findFields(line, cw);
    if (!fields)
        return std::nullopt;

    SpotView spot;
    spot.line = line;
    spot.call = fields->call;
    spot.qrg = fields->qrg;
    spot.band = bandOfQrg(fields->qrg);
    spot.suffix = fields->call.size() > 2 ? fields->call.last(2) : fields->call;
    if (const qsizetype wpm = line.indexOf(u"WPM"); wpm >= 4) {
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
