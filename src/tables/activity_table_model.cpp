#include "tables/activity_table_model.h"

#include "model/alarm_list.h"
#include "tables/table_headings.h"

#include <array>

ActivityTableModel::ActivityTableModel(AlarmList &list, QObject *parent)
    : QAbstractTableModel(parent), m_list(list)
{
    connect(&m_list, &AlarmList::entryChanged, this,
            [this](int row) { emit dataChanged(index(row, 0), index(row, kColumnCount - 1)); });
    connect(&m_list, &AlarmList::structureChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

void ActivityTableModel::toggleEnable(int row)
{
    if (row < 0 || row > m_list.lastCallNr())
        return;
    m_list.edit(row, [](AlarmEntry &entry) {
        entry.enable = entry.isEnabled() ? QStringLiteral("off") : QStringLiteral("on");
    });
}

void ActivityTableModel::resetTimeDate()
{
    for (int i = 0; i <= m_list.lastCallNr(); ++i) {
        m_list.edit(i, [](AlarmEntry &entry) {
            entry.time.clear();
            entry.date.clear();
            entry.qrg.clear();
        });
    }
    emit timeDateReset();
}

int ActivityTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.count();
}

int ActivityTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ActivityTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() > m_list.lastCallNr() || role != Qt::DisplayRole)
        return {};
    const AlarmEntry &entry = m_list.at(index.row());
    const auto orElse = [](const QString &value, const char16_t *substitute) {
        return value.isEmpty() ? QString::fromUtf16(substitute) : value;
    };
    switch (index.column()) {
    case ColumnCall:
        return entry.call;
    case ColumnAlarm:
        return orElse(entry.enable, u"on");
    case ColumnTime:
        return orElse(entry.time, u"never");
    case ColumnDate:
        return orElse(entry.date, u"never");
    case ColumnQrg:
        return orElse(entry.qrg, u"---");
    case ColumnBlocktimer:
        return entry.blockTimer;
    case ColumnBlkTimeSet:
        return entry.blockTimeSet;
    default:
        return {};
    }
}

QVariant ActivityTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const std::array<QString, kColumnCount> headings{
        QStringLiteral("Call"),      QStringLiteral("Alarm"), QStringLiteral("Time"),
        QStringLiteral("Date"),      QStringLiteral("QRG"),   QStringLiteral("Blocktimer"),
        QStringLiteral("BlkTimeSet")};
    return tableHeading(headings, section, orientation, role);
}
