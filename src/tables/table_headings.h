#pragma once

#include <QString>
#include <QVariant>

#include <span>

// headerData of the program's tables: the column headings across, the rows numbered from 1 down.
QVariant tableHeading(std::span<const QString> headings, int section, Qt::Orientation orientation, int role);
