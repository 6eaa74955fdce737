#include "tables/portable_table_model.h"

#include <algorithm>

PortableTableModel::PortableTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void PortableTableModel::record(const QString &call, const QString &qrg, const QString &time)
{
    // A repeat into a table with no written row counts as new, so it always lands somewhere.
    const bool isNew = call != m_lastCall || m_lastRow == kRows;
    m_lastCall = call;
    if (isNew) {
        if (m_lastRow > 0) {
            --m_lastRow;
        } else {
            std::move_backward(m_rows.begin(), m_rows.end() - 1, m_rows.end());
        }
    }
    m_rows[static_cast<std::size_t>(m_lastRow)] = Row{call, qrg, time, QStringLiteral("0")};
    if (isNew && m_lastRow == 0)
        emit dataChanged(index(0, 0), index(kRows - 1, kColumnCount - 1));
    else
        emit dataChanged(index(m_lastRow, 0), index(m_lastRow, kColumnCount - 1));
}

void PortableTableModel::build()
{
    beginResetModel();
    m_rows.fill(Row{});
    m_lastRow = kRows;
    endResetModel();
}

void PortableTableModel::reset()
{
    build();
    m_lastCall = kNoCall;
}

int PortableTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kRows;
}

int PortableTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant PortableTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const Row &row = m_rows[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case ColumnCall:
        return row.call;
    case ColumnQrg:
        return row.qrg;
    case ColumnTime:
        return row.time;
    case ColumnBlocktimer:
        return row.blocktimer;
    default:
        return {};
    }
}

QVariant PortableTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const std::array<QString, kColumnCount> headings{
        QStringLiteral("Call"), QStringLiteral("QRG"), QStringLiteral("Time"), QStringLiteral("Blocktimer")};
    return section >= 0 && section < kColumnCount ? QVariant(headings[static_cast<std::size_t>(section)])
                                                  : QVariant();
}
