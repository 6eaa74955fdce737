#pragma once

class QTableView;

// The look both tables share: heading row, call column drawn as a fixed column, rows as tight as a
// plain grid, whole-cell selection, no editing.
void setUpGridView(QTableView &view, int callColumnTwips);
