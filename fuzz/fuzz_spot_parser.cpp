// The spot parser alone, on a line decoded as the link decodes it, and the number helper that reads the
// speed text and the threshold.
#include "app/number_text.h"
#include "cluster/line_framer.h"
#include "cluster/spot.h"
#include "cluster/spot_parser.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView raw(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString line = decodeLine(raw);
    const std::optional<Spot> spot = parseSpot(line);
    const std::optional<Spot> viewed = parseSpot(QStringView(line));
    FUZZ_CHECK(spot.has_value() == viewed.has_value());

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
