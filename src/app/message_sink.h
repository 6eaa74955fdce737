#pragma once

#include <QString>

// Where texts go that the operator must read: a message box in the program, a "message" event headless.
// show() returns when the operator has seen it (the box is closed).
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void show(const QString &text) = 0;
};
