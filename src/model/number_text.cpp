#include "model/number_text.h"

std::optional<long long> parseWholeNumber(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == u'+' || text.front() == u'-') {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    constexpr long long kLimit = 1'000'000'000'000'000LL;
    if (text.isEmpty())
        return std::nullopt;
    long long value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > kLimit)
            return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<long long> parseWholeNumberIn(QStringView text, long long min, long long max)
{
    const auto value = parseWholeNumber(text);
    if (!value || *value < min || *value > max)
        return std::nullopt;
    return value;
}
