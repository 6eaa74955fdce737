#include "spots/cluster_message.h"

namespace {

// The blank-free word at from, up to the next blank or the line's end.
QStringView wordAt(QStringView line, qsizetype from)
{
    const qsizetype blank = line.indexOf(u' ', from);
    return line.sliced(from, (blank < 0 ? line.size() : blank) - from);
}

// After "<to>": " de <from>:", returning from, or nothing.
std::optional<QStringView> senderAfter(QStringView line, qsizetype at)
{
    if (!line.sliced(at).startsWith(u" de "))
        return std::nullopt;
    const QStringView word = wordAt(line, at + 4);
    if (word.size() < 2 || !word.endsWith(u':'))
        return std::nullopt;
    return word.chopped(1);
}

} // namespace

std::optional<ClusterMessage> parseClusterMessage(QStringView line)
{
    const QStringView first = wordAt(line, 0);
    if (first.isEmpty())
        return std::nullopt;
    if (first == u"To") {
        if (line.size() <= first.size())
            return std::nullopt;
        const QStringView to = wordAt(line, first.size() + 1);
        if (to.isEmpty())
            return std::nullopt;
        const auto from = senderAfter(line, first.size() + 1 + to.size());
        if (!from)
            return std::nullopt;
        return ClusterMessage{ClusterMessage::Kind::Announcement, to, *from};
    }
    if (first == u"DX")
        return std::nullopt;
    const auto from = senderAfter(line, first.size());
    if (!from)
        return std::nullopt;
    return ClusterMessage{ClusterMessage::Kind::Talk, first, *from};
}
