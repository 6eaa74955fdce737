#include "ui/info_window.h"

#include "app/app_core.h"
#include "ui/layout_fonts.h"
#include "ui/twips.h"

#include <QLabel>
#include <QPushButton>

InfoWindow::InfoWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FormInfo"));
    setWindowTitle(QStringLiteral("Vemrok Alarm Info"));
    setFont(layoutfonts::msSansSerif());
    setFixedSize(twips::size(7095, 2085));

    auto *info = new QLabel(AppCore::kCaption + kCredit, this);
    info->setObjectName(QStringLiteral("LabelInfo1"));
    info->setFont(layoutfonts::arial(12));
    info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    twips::place(*info, 240, 480, 7215, 495);

    auto *quit = new QPushButton(QStringLiteral("Quit"), this);
    quit->setObjectName(QStringLiteral("ButtonInfoQuit"));
    twips::place(*quit, 5400, 1320, 1215, 495);
    connect(quit, &QPushButton::clicked, this, &QWidget::hide);
}
