#pragma once

#include <QAbstractTableModel>

class AlarmList;

// The alarm list as a table, one row per live entry: call, alarm on/off, last heard time, date and
// frequency, running block countdown, block time. Always current: it follows the list's signals.
class ActivityTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColumnCall,
        ColumnAlarm,
        ColumnTime,
        ColumnDate,
        ColumnQrg,
        ColumnBlocktimer,
        ColumnBlkTimeSet,
        kColumnCount
    };

    explicit ActivityTableModel(AlarmList &list, QObject *parent = nullptr);

    // Double-click on "Alarm": exactly "on" becomes "off", anything else "on".
    void toggleEnable(int row);
    // "Reset Time/Date": empties time, date and frequency of every live entry.
    void resetTimeDate();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // "Reset Time/Date" emptied the stamps.
    void timeDateReset();

private:
    AlarmList &m_list;
};
