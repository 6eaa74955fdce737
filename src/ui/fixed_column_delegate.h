#pragma once

#include <QStyledItemDelegate>

// Draws a table's first column in the heading colour: the call is the row's fixed title.
class FixedColumnDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
