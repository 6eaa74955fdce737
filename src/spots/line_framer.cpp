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
    appendDecodedLine(raw, text);
    return text;
}

void appendDecodedLine(QByteArrayView raw, QString &text)
{
    // Nearly every line is printable ASCII, widened as it is into the text's own memory while it is
    // checked. The loop has no early exit, so the compiler takes many bytes a step.
    const qsizetype at = text.size();
    text.resize(at + raw.size());
    char16_t *to = reinterpret_cast<char16_t *>(text.data()) + at;
    uchar notPrintable = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const auto c = static_cast<uchar>(raw[i]);
        notPrintable |= static_cast<uchar>(c - 0x20) >= 0x5F;
        to[i] = c;
    }
    if (!notPrintable)
        return;
    // The choice of decoding is made on the bytes as received. Removing single-byte controls afterwards
    // keeps valid UTF-8 valid and changes nothing else in Latin-1, so cleaning the bytes first and
    // decoding the result is the same as decoding first and cleaning the text.
    QByteArray kept(raw.size(), Qt::Uninitialized);
    kept.truncate(std::remove_copy_if(raw.begin(), raw.end(), kept.begin(), isRemovedControl) - kept.begin());
    text.truncate(at);
    text += raw.isValidUtf8() ? QString::fromUtf8(kept) : QString::fromLatin1(kept);
}
