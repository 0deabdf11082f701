#pragma once

#include <QModelIndexList>
#include <QString>

class QAbstractItemModel;
class QTableView;

// What the grid puts on the clipboard: the same cells as tab-separated text and as an HTML table.
struct CopiedCells {
    QString Text;
    QString Html;
};

// The rows and columns that hold a selected cell (cells of them that are not selected stay empty),
// or the whole of currentRow when nothing is selected, under a line of column titles. Empty when
// there is neither a selection nor a current row.
CopiedCells CopyGridCells(const QAbstractItemModel& model, const QModelIndexList& selected, int currentRow);

// The grid's selected cells, or its current row, onto the clipboard as text and HTML.
void CopyGridToClipboard(const QTableView& grid);
