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
    QMessageBox::information(QApplication::activeWindow(), AppCore::kCaption, text, QMessageBox::Ok);
}
