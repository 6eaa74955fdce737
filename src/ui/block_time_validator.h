#pragma once

#include <QValidator>

// A block time in whole seconds, 0 to 32767, digits only: a key that would leave anything else is refused,
// so the value shown is the value that applies. The empty field is allowed while retyping.
class BlockTimeValidator final : public QValidator {
    Q_OBJECT
public:
    static constexpr int kMax = 32767;
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};
