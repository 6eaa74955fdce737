#include "spots/line_framer.h"

#include <algorithm>

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
    // Nearly every line is printable ASCII, which Latin-1 decodes as it is. The loop has no early exit so
    // the compiler can take many bytes a step.
    bool printable = true;
    for (const char c : raw)
        printable &= static_cast<uchar>(c - 0x20) < 0x5F;
    if (printable)
        return QString::fromLatin1(raw);
    const auto decode = [utf8 = raw.isValidUtf8()](QByteArrayView bytes) {
        return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    };
    if (std::none_of(raw.begin(), raw.end(), isRemovedControl))
        return decode(raw);
    QByteArray kept(raw.size(), Qt::Uninitialized);
    kept.truncate(std::remove_copy_if(raw.begin(), raw.end(), kept.begin(), isRemovedControl) - kept.begin());
    return decode(kept);
}
