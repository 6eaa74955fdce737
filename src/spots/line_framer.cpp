#include "spots/line_framer.h"

#include <QVarLengthArray>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr bool isRemovedControl(uchar c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

// Widens bytes to UTF-16 units one for one; false when any byte is not printable ASCII (0x20..0x7E).
bool widenPrintableAscii(const uchar *bytes, qsizetype size, char16_t *out)
{
    qsizetype i = 0;
    unsigned notPlain = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time, with no early exit: a spot line is about five steps.
    const __m128i zero = _mm_setzero_si128();
    __m128i bad = zero;
    const auto widenSixteen = [&](qsizetype at) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + at));
        // Signed compare: bytes from 0x80 on are negative, so they count as below 0x20.
        bad = _mm_or_si128(bad, _mm_or_si128(_mm_cmplt_epi8(chunk, _mm_set1_epi8(0x20)),
                                             _mm_cmpeq_epi8(chunk, _mm_set1_epi8(0x7F))));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + at), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + at + 8), _mm_unpackhi_epi8(chunk, zero));
    };
    for (; i + 16 <= size; i += 16)
        widenSixteen(i);
    if (i < size && size >= 16) {
        // The last sixteen bytes, overlapping what is done already, instead of a byte-wise tail.
        widenSixteen(size - 16);
        i = size;
    }
    notPlain = static_cast<unsigned>(_mm_movemask_epi8(bad));
#endif
    for (; i < size; ++i) {
        out[i] = bytes[i];
        notPlain |= static_cast<uchar>(bytes[i] - 0x20) >= 0x5F;
    }
    return notPlain == 0;
}

} // namespace

QString decodeLine(QByteArrayView raw)
{
    QString text;
    decodeLine(raw, text);
    return text;
}

void decodeLine(QByteArrayView raw, QString &text)
{
    const auto *bytes = reinterpret_cast<const uchar *>(raw.data());
    const qsizetype size = raw.size();
    // Nearly every line is printable ASCII: widened straight into the text while checking every byte; only
    // a line that is not starts over below. resize() keeps the text's memory when it is large enough and
    // not shared.
    text.resize(size);
    if (widenPrintableAscii(bytes, size, reinterpret_cast<char16_t *>(text.data())))
        return;
    qsizetype plain = 0;
    while (bytes[plain] >= 0x20 && bytes[plain] < 0x7F)
        ++plain;

    // The choice of decoding is made on the bytes as received. Removing single-byte controls afterwards
    // keeps valid UTF-8 valid and changes nothing else in Latin-1, so cleaning the bytes first and
    // decoding the result is the same as decoding first and cleaning the text.
    const bool utf8 = raw.isValidUtf8();
    QVarLengthArray<char, 512> kept;
    kept.reserve(size);
    kept.append(raw.data(), plain);
    for (qsizetype i = plain; i < size; ++i) {
        if (!isRemovedControl(bytes[i]))
            kept.append(raw[i]);
    }
    const QByteArrayView cleaned(kept.constData(), kept.size());
    text = utf8 ? QString::fromUtf8(cleaned) : QString::fromLatin1(cleaned);
}
