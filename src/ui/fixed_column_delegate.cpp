#include "ui/fixed_column_delegate.h"

#include <QPalette>

void FixedColumnDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->backgroundBrush = option->palette.brush(QPalette::Button);
}
