// The spot parser alone, on a line decoded as the link decodes it, and the number helper that reads the
// speed text and the threshold.
#include "fuzz_support.h"
#include "model/number_text.h"
#include "spots/line_framer.h"
#include "spots/spot.h"
#include "spots/spot_parser.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

namespace {

// decodeLine as its contract says it, done the plain way: decode the whole line, then drop the controls.
QString referenceDecode(QByteArrayView raw)
{
    const QString decoded = raw.isValidUtf8() ? QString::fromUtf8(raw) : QString::fromLatin1(raw);
    QString text;
    for (const QChar c : decoded) {
        if ((c.unicode() >= 0x20 || c == u'\t') && c.unicode() != 0x7F)
            text += c;
    }
    return text;
}

bool sameView(const SpotView &a, const Spot &b)
{
    return a.line == b.line && a.call == b.call && a.qrg == b.qrg && a.band == b.band &&
           a.suffix == b.suffix && a.wpmPos == b.wpmPos && a.speedText == b.speedText &&
           a.isPortableAlarm() == b.isPortableAlarm() && a.isPortableDisplay() == b.isPortableDisplay();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView raw(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString line = decodeLine(raw);
    // UTF-8 decoding drops a byte order mark that ends up first, so one may be missing at the front.
    const QString reference = referenceDecode(raw);
    FUZZ_CHECK(line == reference || (reference.startsWith(QChar(0xFEFF)) && line == reference.sliced(1)));

    const std::optional<Spot> spot = parseSpot(line);
    const std::optional<Spot> viewed = parseSpot(QStringView(line));
    const std::optional<SpotView> view = parseSpotView(line);
    FUZZ_CHECK(spot.has_value() == viewed.has_value() && spot.has_value() == view.has_value());
    if (view)
        FUZZ_CHECK(sameView(*view, *spot));

    const std::optional<long long> number = parseWholeNumber(line);
    if (number)
        FUZZ_CHECK(*number >= -1'000'000'000'000'000LL && *number <= 1'000'000'000'000'000LL);

    if (!spot)
        return 0;
    FUZZ_CHECK(line.startsWith(u"DX") && line.contains(u" CW "));
    FUZZ_CHECK(spot->line == line && viewed->line == line);
    FUZZ_CHECK(spot->call == viewed->call && spot->qrg == viewed->qrg && spot->band == viewed->band);
    FUZZ_CHECK(!spot->call.isEmpty() && line.contains(spot->call));
    FUZZ_CHECK(spot->qrg.isEmpty() || line.contains(spot->qrg));
    FUZZ_CHECK(spot->band == bandOfQrg(spot->qrg));
    FUZZ_CHECK(spot->bandPrefix.size() <= 2);
    FUZZ_CHECK(spot->suffix == (spot->call.size() > 2 ? spot->call.right(2) : spot->call));
    if (spot->wpmPos != 0) {
        FUZZ_CHECK(spot->wpmPos >= 5 && QStringView(line).sliced(spot->wpmPos - 1, 3) == u"WPM");
        FUZZ_CHECK(spot->speedText.size() == 3);
        (void)parseWholeNumber(spot->speedText);
    } else {
        FUZZ_CHECK(spot->speedText.isEmpty());
    }
    return 0;
}
