#pragma once

#include <QWidget>

class PortableTableModel;
class QTableView;
class RigControl;

// FormPAlarmTable ("/P-Alarm-Table"): the last 20 portable alarms. "Close" and the close box only
// hide it; the rows live in the model and are there again on the next showing.
class PortableTableWindow final : public QWidget {
    Q_OBJECT
public:
    PortableTableWindow(PortableTableModel &model, RigControl &rig, QWidget *parent = nullptr);

    QTableView &table() { return *m_table; }

private:
    QTableView *m_table = nullptr;
};
