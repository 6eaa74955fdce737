#include "ui/portable_table_window.h"

#include "tables/portable_table_model.h"
#include "ui/grid_view.h"
#include "ui/layout_fonts.h"
#include "ui/table_view_setup.h"
#include "ui/tune_menu.h"
#include "ui/twips.h"

#include <QPushButton>
#include <QTableView>

PortableTableWindow::PortableTableWindow(PortableTableModel &model, RigControl &rig, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FormPAlarmTable"));
    setWindowTitle(QStringLiteral("/P-Alarm-Table"));
    setFont(layoutfonts::msSansSerif());
    setFixedSize(twips::size(4935, 6900));

    m_table = new GridView(this);
    m_table->setObjectName(QStringLiteral("PAlarmList"));
    twips::place(*m_table, 120, 120, 4575, 5175);
    m_table->setModel(&model);
    setUpGridView(*m_table, 1500);
    new TuneMenu(*m_table, PortableTableModel::ColumnQrg, rig);

    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("ClosePAlTable"));
    twips::place(*close, 3000, 6000, 1215, 495);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}
