#include "cluster/line_framer.h"

#include <QVarLengthArray>

namespace {

constexpr bool isRemovedControl(uchar c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

} // namespace

QString decodeLine(QByteArrayView raw)
{
    const auto *bytes = reinterpret_cast<const uchar *>(raw.data());
    const qsizetype size = raw.size();
    qsizetype plain = 0;
    while (plain < size && bytes[plain] >= 0x20 && bytes[plain] < 0x7F)
        ++plain;
    // Nearly every line is printable ASCII: one conversion, no checks beyond the scan above.
    if (plain == size)
        return QString::fromLatin1(raw);

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
    return utf8 ? QString::fromUtf8(cleaned) : QString::fromLatin1(cleaned);
}
