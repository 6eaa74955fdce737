#include "spots/line_framer.h"

namespace {

constexpr bool isRemovedControl(char c)
{
    return (static_cast<uchar>(c) < 0x20 && c != '\t') || c == 0x7F;
}

} // namespace

QString decodeLine(QByteArrayView raw)
{
    // The choice of decoding is made on the bytes as received. Removing single-byte controls afterwards
    // keeps valid UTF-8 valid and changes nothing else in Latin-1, so cleaning the bytes first and
    // decoding the result is the same as decoding first and cleaning the text.
    QByteArray kept;
    kept.reserve(raw.size());
    for (const char c : raw) {
        if (!isRemovedControl(c))
            kept.append(c);
    }
    return raw.isValidUtf8() ? QString::fromUtf8(kept) : QString::fromLatin1(kept);
}
