// The ADIF reader on arbitrary bytes: fed whole or cut into arrivals anywhere, it hands over the same
// records, no value longer than its limit; the records fold into a worked index without harm. Input: byte 0
// how the bytes are cut, byte 1 the largest piece, then the log.
#include "country/adif_reader.h"
#include "country/worked_index.h"
#include "fuzz_support.h"

#include <QByteArrayList>

namespace {

QByteArrayList recordsRead(QByteArrayView log, quint32 cutSeed, int maxPiece, WorkedIndex *index)
{
    QByteArrayList records;
    AdifReader reader([&](const AdifQso &qso) {
        QByteArray record;
        for (QByteArrayView value :
             {qso.call, qso.dxcc, qso.band, qso.freq, qso.mode, qso.qslRcvd, qso.lotwQslRcvd}) {
            FUZZ_CHECK(value.size() <= AdifReader::kMaxValue);
            record += value.toByteArray() + '\0';
        }
        records << record;
        if (index)
            index->addQso(qso, [](QByteArrayView call) { return int(call.size()) * 7; });
    });
    for (qsizetype at = 0; at < log.size();) {
        const qsizetype piece = nextPiece(cutSeed, maxPiece, log.size() - at);
        reader.feed(log.sliced(at, piece));
        at += piece;
    }
    reader.finish();
    FUZZ_CHECK(reader.recordCount() == records.size());
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input{data, size};
    const quint32 cutSeed = input.byte() | 1U;
    const int maxPiece = input.byte() + 1;
    WorkedIndex index;
    const QByteArrayList whole = recordsRead(input.rest(), 0, 1, &index);
    FUZZ_CHECK(recordsRead(input.rest(), cutSeed, maxPiece, nullptr) == whole);
    FUZZ_CHECK(index.entityCount(false) <= index.cwQsoCount());
    FUZZ_CHECK(index.entityCount(true) <= index.entityCount(false));
    for (int dxcc = 0; dxcc <= WorkedIndex::kMaxDxcc + 1; dxcc += 97)
        FUZZ_CHECK((index.need(dxcc, Band::M20, true) == WorkedIndex::Need::None) <=
                   (index.need(dxcc, Band::M20, false) == WorkedIndex::Need::None));
    return 0;
}
