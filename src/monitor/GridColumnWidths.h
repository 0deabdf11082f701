#pragma once

#include <QStringList>
#include <vector>

class QTableView;

// The grid's column widths across refreshes. A result whose column names have not yet been shown
// with rows is sized to its contents, each column at most a third of the grid's width; after that
// the widths (the operator's included) stay for as long as the column names do, also across a
// script change.
class GridColumnWidths {
public:
    explicit GridColumnWidths(QTableView* grid);

    // Before the grid's model resets.
    void Remember();
    // After it.
    void Apply();

private:
    QStringList ColumnNames() const;
    void SizeToContents();

    QTableView* grid_;
    QStringList names_;
    std::vector<int> widths_;
    QStringList sizedFor_;
};
