#pragma once

#include "app/message_sink.h"

// The desktop's way of telling the operator: a modal information box with an OK button. While the
// program ends without a person to click (a signal, the end of the desktop session) the text goes to
// stderr instead, so shutting down never waits for a click.
class MessageBoxSink final : public MessageSink {
public:
    void show(const QString &text) override;
    void setInteractive(bool interactive) { m_interactive = interactive; }
    bool isInteractive() const { return m_interactive; }

private:
    bool m_interactive = true;
};
