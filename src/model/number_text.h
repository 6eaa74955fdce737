#pragma once

#include <QStringView>

#include <optional>

// The model keeps numbers as text; this is the one place that turns such text into a number.
// Blanks around the number are ignored, an optional sign is allowed, anything else (letters,
// decimals, the empty text, a value beyond +-10^15) is "not a number" and gives nullopt. Never throws.
std::optional<long long> parseWholeNumber(QStringView text);

// parseWholeNumber restricted to [min, max]; out of range counts as not a number.
std::optional<long long> parseWholeNumberIn(QStringView text, long long min, long long max);
