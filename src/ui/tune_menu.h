#pragma once

#include <QObject>

class QPoint;
class QTableView;
class RigControl;

// The context menu of a table row with a frequency: "Tune radio to 14025.0 kHz". Offered only while a
// radio is set; the tables' clicks and double-clicks stay as they are.
class TuneMenu final : public QObject {
    Q_OBJECT
public:
    static QString actionText(const QString &qrg);

    TuneMenu(QTableView &view, int qrgColumn, RigControl &rig);

private:
    void requested(const QPoint &pos);

    QTableView &m_view;
    int m_qrgColumn;
    RigControl &m_rig;
};
