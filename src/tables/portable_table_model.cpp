#include "tables/portable_table_model.h"

#include "tables/table_headings.h"

#include <algorithm>

PortableTableModel::PortableTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void PortableTableModel::record(const QString &call, const QString &qrg, const QString &time)
{
    m_lastCall = call;
    const Row written{call, qrg, time, QStringLiteral("0")};
    // A station already listed moves to the top row (exact comparison): RBN spots one portable from many
    // skimmers, interleaved with others, and copies of it would push the other stations out.
    const auto begin = m_rows.begin() + m_lastRow;
    const auto found = std::find_if(begin, m_rows.end(), [&](const Row &row) { return row.call == call; });
    int changedTo = 0;
    if (found != m_rows.end()) {
        changedTo = static_cast<int>(found - m_rows.begin());
        std::move_backward(begin, found, found + 1);
    } else if (m_lastRow > 0) {
        --m_lastRow;
        changedTo = m_lastRow;
    } else {
        std::move_backward(m_rows.begin(), m_rows.end() - 1, m_rows.end());
        changedTo = kRows - 1;
    }
    m_rows[static_cast<std::size_t>(m_lastRow)] = written;
    emit dataChanged(index(m_lastRow, 0), index(changedTo, kColumnCount - 1));
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
    static const std::array<QString, kColumnCount> headings{
        QStringLiteral("Call"), QStringLiteral("QRG"), QStringLiteral("Time"), QStringLiteral("Blocktimer")};
    return tableHeading(headings, section, orientation, role);
}
