#include "cluster/spot_parser.h"

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

// Position of the colon that ends the spotter field, or -1 when the line does not have one.
qsizetype spotterColon(QStringView line)
{
    if (!line.startsWith(u"DX de "))
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

std::optional<Spot> parse(QStringView line, const QString *shared)
{
    if (!line.startsWith(u"DX"))
        return std::nullopt;
    const qsizetype cwPos = line.indexOf(u" CW ");
    if (cwPos < 0)
        return std::nullopt;
    const std::optional<Fields> fields = findFields(line, cwPos);
    if (!fields)
        return std::nullopt;

    Spot spot;
    spot.line = shared ? *shared : line.toString();
    spot.call = fields->call.toString();
    spot.qrg = fields->qrg.toString();
    if (fields->qrg.size() >= kQrgWidth) {
        spot.bandPrefix = fields->qrg.first(2).toString();
    } else {
        // As the frequency stands right-aligned in its seven columns.
        spot.bandPrefix = QString(kQrgWidth - fields->qrg.size(), u' ');
        spot.bandPrefix += fields->qrg;
        spot.bandPrefix.truncate(2);
    }
    spot.band = bandOfQrg(fields->qrg);
    spot.suffix = fields->call.size() > 2 ? fields->call.last(2).toString() : spot.call;

    const qsizetype wpm = line.indexOf(u"WPM");
    if (wpm >= 4) {
        spot.wpmPos = static_cast<int>(wpm + 1);
        spot.speedText = line.sliced(wpm - 4, 3).toString();
    }
    return spot;
}

} // namespace

std::optional<Spot> parseSpot(QStringView line)
{
    return parse(line, nullptr);
}

std::optional<Spot> parseSpot(const QString &line)
{
    return parse(line, &line);
}

std::optional<Band> bandOfQrg(QStringView qrg)
{
    const qsizetype point = qrg.indexOf(u'.');
    const QStringView kilohertz = point < 0 ? qrg : qrg.first(point);
    if (kilohertz.isEmpty() || kilohertz.size() > 9)
        return std::nullopt;
    long long value = 0;
    for (const QChar c : kilohertz) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    for (const QChar c : qrg.sliced(kilohertz.size() + (point < 0 ? 0 : 1))) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    return bandOfMegahertz(value / 1000);
}
