#include "tables/table_headings.h"

QVariant tableHeading(std::span<const QString> headings, int section, Qt::Orientation orientation, int role)
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || static_cast<std::size_t>(section) >= headings.size())
        return {};
    return headings[static_cast<std::size_t>(section)];
}
