#include "ui/activity_window.h"

#include "app/app_core.h"
#include "rig/rig_control.h"
#include "tables/activity_table_model.h"
#include "ui/grid_view.h"
#include "ui/layout_fonts.h"
#include "ui/table_view_setup.h"
#include "ui/tune_menu.h"
#include "ui/twips.h"

#include <QPushButton>
#include <QTableView>

ActivityWindow::ActivityWindow(AppCore &core, QWidget *parent) : QWidget(parent, Qt::Window), m_core(core)
{
    setObjectName(QStringLiteral("FormActivity"));
    setWindowTitle(QStringLiteral("AlarmList"));
    setFont(layoutfonts::msSansSerif());
    setFixedSize(twips::size(7665, 10125));

    m_table = new GridView(this);
    m_table->setObjectName(QStringLiteral("ActList"));
    twips::place(*m_table, 120, 120, 7095, 9255);
    m_table->setModel(&m_core.activityModel());
    setUpGridView(*m_table, 1500);
    m_table->setColumnWidth(ActivityTableModel::ColumnAlarm, twips::toPixels(500));
    connect(m_table, &QTableView::doubleClicked, this, &ActivityWindow::cellDoubleClicked);
    new TuneMenu(*m_table, ActivityTableModel::ColumnQrg, m_core.rig());

    auto *reset = new QPushButton(QStringLiteral("Reset Time/Date"), this);
    reset->setObjectName(QStringLiteral("ButtonClrAll"));
    twips::place(*reset, 120, 9480, 1695, 495);
    connect(reset, &QPushButton::clicked, this, [this] { m_core.activityModel().resetTimeDate(); });

    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("ButtonActivityQuit"));
    twips::place(*close, 5880, 9480, 1215, 495);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void ActivityWindow::cellDoubleClicked(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    if (index.column() == ActivityTableModel::ColumnAlarm) {
        m_core.activityModel().toggleEnable(index.row());
        return;
    }
    m_core.setConfigCallNr(index.row());
    emit configRequested(index.row());
}
