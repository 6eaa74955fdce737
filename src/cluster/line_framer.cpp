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
    // Nearly every line is printable ASCII: widened straight into the text while checking every byte (no
    // early exit, so the compiler can vectorise the loop); only a line that is not starts over below.
    if (size == 0)
        return QString::fromLatin1(raw);
    {
        QString text(size, Qt::Uninitialized);
        char16_t *out = reinterpret_cast<char16_t *>(text.data());
        unsigned notPlain = 0;
        for (qsizetype i = 0; i < size; ++i) {
            out[i] = bytes[i];
            notPlain |= static_cast<uchar>(bytes[i] - 0x20) >= 0x5F;
        }
        if (notPlain == 0)
            return text;
    }
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
    return utf8 ? QString::fromUtf8(cleaned) : QString::fromLatin1(cleaned);
}
