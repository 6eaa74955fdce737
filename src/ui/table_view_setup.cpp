#include "ui/table_view_setup.h"

#include "ui/fixed_column_delegate.h"
#include "ui/twips.h"

#include <QHeaderView>
#include <QTableView>

void setUpGridView(QTableView &view, int callColumnTwips)
{
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectItems);
    view.setItemDelegateForColumn(0, new FixedColumnDelegate(&view));
    view.verticalHeader()->hide();
    // 240 twips a row and 975 a column, as a plain grid draws them.
    view.verticalHeader()->setMinimumSectionSize(twips::toPixels(240));
    view.verticalHeader()->setDefaultSectionSize(twips::toPixels(240));
    view.horizontalHeader()->setDefaultSectionSize(twips::toPixels(975));
    view.horizontalHeader()->setHighlightSections(false);
    view.setColumnWidth(0, twips::toPixels(callColumnTwips));
    view.setWordWrap(false);
    // Cells hold Latin text only: drawn without shaping, a repaint of the table costs far less.
    QFont font = view.font();
    font.setStyleStrategy(QFont::PreferNoShaping);
    view.setFont(font);
}
