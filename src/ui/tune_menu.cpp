#include "ui/tune_menu.h"

#include "rig/rig_control.h"

#include <QMenu>
#include <QTableView>

TuneMenu::TuneMenu(QTableView &view, int qrgColumn, RigControl &rig)
    : QObject(&view), m_view(view), m_qrgColumn(qrgColumn), m_rig(rig)
{
    m_view.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_view, &QWidget::customContextMenuRequested, this, &TuneMenu::requested);
}

QString TuneMenu::actionText(const QString &qrg)
{
    return QStringLiteral("Tune radio to %1 kHz").arg(qrg);
}

void TuneMenu::requested(const QPoint &pos)
{
    const QModelIndex cell = m_view.indexAt(pos);
    if (!cell.isValid() || !m_rig.isSet())
        return;
    // "---" and empty rows have no frequency to offer.
    const QString qrg = cell.siblingAtColumn(m_qrgColumn).data().toString().trimmed();
    if (!RigControl::hertzFromKilohertz(qrg))
        return;
    // Not exec(): the table and the alarms go on while the menu is open.
    auto *menu = new QMenu(&m_view);
    menu->setObjectName(QStringLiteral("TuneMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *tune = menu->addAction(actionText(qrg));
    connect(tune, &QAction::triggered, &m_rig, [this, qrg] { m_rig.tune(qrg); });
    menu->popup(m_view.viewport()->mapToGlobal(pos));
}
