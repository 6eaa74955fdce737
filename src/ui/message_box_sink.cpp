#include "ui/message_box_sink.h"

#include "app/app_core.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

void MessageBoxSink::show(const QString &text)
{
    if (!m_interactive) {
        std::fprintf(stderr, "vemrok-alarm: %s\n", qPrintable(text));
        return;
    }
    QMessageBox box(QMessageBox::Information, AppCore::kCaption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    QMessageBox *const outer = m_open;
    m_open = &box;
    box.exec();
    m_open = outer;
}

void MessageBoxSink::setInteractive(bool interactive)
{
    m_interactive = interactive;
    if (!interactive && m_open)
        m_open->done(QMessageBox::Ok);
}
