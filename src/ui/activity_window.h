#pragma once

#include <QWidget>

class AppCore;
class QModelIndex;
class QPushButton;
class QTableView;

// FormActivity ("AlarmList"): the alarm list as a live table. A double-click on "Alarm" switches the
// entry on or off; anywhere else it asks for the configuration dialog at that entry.
class ActivityWindow final : public QWidget {
    Q_OBJECT
public:
    explicit ActivityWindow(AppCore &core, QWidget *parent = nullptr);

    QTableView &table() { return *m_table; }

signals:
    // ConfigCallNr is already set to entry.
    void configRequested(int entry);

private:
    void cellDoubleClicked(const QModelIndex &index);

    AppCore &m_core;
    QTableView *m_table = nullptr;
};
