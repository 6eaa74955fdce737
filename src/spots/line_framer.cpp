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
    QString text;
    decodeLine(raw, text);
    return text;
}

void decodeLine(QByteArrayView raw, QString &text)
{
    // Nearly every line is printable ASCII, which is widened as it is into the text's own memory. The loops
    // have no early exit, so the compiler takes many bytes a step.
    uchar notPrintable = 0;
    for (const char c : raw)
        notPrintable |= static_cast<uchar>(c - 0x20) >= 0x5F;
    if (!notPrintable) {
        text.resize(raw.size());
        std::transform(raw.begin(), raw.end(), reinterpret_cast<char16_t *>(text.data()),
                       [](char c) { return static_cast<char16_t>(c); });
        return;
    }
    // The choice of decoding is made on the bytes as received. Removing single-byte controls afterwards
    // keeps valid UTF-8 valid and changes nothing else in Latin-1, so cleaning the bytes first and
    // decoding the result is the same as decoding first and cleaning the text.
    QByteArray kept(raw.size(), Qt::Uninitialized);
    kept.truncate(std::remove_copy_if(raw.begin(), raw.end(), kept.begin(), isRemovedControl) - kept.begin());
    text = raw.isValidUtf8() ? QString::fromUtf8(kept) : QString::fromLatin1(kept);
}
