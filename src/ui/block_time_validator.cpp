#include "ui/block_time_validator.h"

#include <algorithm>

QValidator::State BlockTimeValidator::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos);
    if (input.isEmpty())
        return Intermediate;
    const bool digitsOnly = std::all_of(
        input.cbegin(), input.cend(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (!digitsOnly || input.size() > 5 || input.toInt() > kMax)
        return Invalid;
    return Acceptable;
}
