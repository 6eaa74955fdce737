#pragma once

#include <QWidget>

// FormInfo ("Vemrok Alarm Info"): the program's name, version and a credit line. "Quit" hides it.
class InfoWindow final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCredit = QStringLiteral(" - CW spot alarms, 73 and good DX!");

    explicit InfoWindow(QWidget *parent = nullptr);
};
