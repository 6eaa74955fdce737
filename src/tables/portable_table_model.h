#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <array>

// The last 20 portable alarms, one row per station. New stations fill from the bottom row upwards; once
// full the newest stays in the top row and the others move down. A station already listed moves to the top
// row with its new frequency and time.
class PortableTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kRows = 20;
    enum Column { ColumnCall, ColumnQrg, ColumnTime, ColumnBlocktimer, kColumnCount };
    static inline const QString kNoCall = QStringLiteral("Dummy");

    explicit PortableTableModel(QObject *parent = nullptr);

    // RecordPortableAlarm.
    void record(const QString &call, const QString &qrg, const QString &time);
    // BuildPortableTable: empty rows, nothing written yet. LastPortableCall is kept.
    void build();
    // Start-up: empty table and no last call.
    void reset();

    // 0-based row written last; kRows when nothing has been written since the table was built.
    int lastWrittenRow() const { return m_lastRow; }
    const QString &lastPortableCall() const { return m_lastCall; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        QString call;
        QString qrg;
        QString time;
        QString blocktimer;
    };
    std::array<Row, kRows> m_rows{};
    int m_lastRow = kRows;
    QString m_lastCall = kNoCall;
};
