#pragma once

#include "app/message_sink.h"

class QMessageBox;

// The desktop's way of telling the operator: a modal information box with an OK button. While the
// program ends without a person to click (a signal, the end of the desktop session) the text goes to
// stderr instead, so shutting down never waits for a click.
class MessageBoxSink final : public MessageSink {
public:
    void show(const QString &text) override;
    // Going non-interactive also closes a box that is open: nobody is there to click it away.
    void setInteractive(bool interactive);
    bool isInteractive() const { return m_interactive; }

private:
    bool m_interactive = true;
    QMessageBox *m_open = nullptr;
};
