#include "monitor/GridColumnWidths.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

GridColumnWidths::GridColumnWidths(QTableView* grid) : grid_(grid) {}

QStringList GridColumnWidths::ColumnNames() const
{
    QStringList names;
    const QAbstractItemModel* model = grid_->model();
    for (int column = 0; model && column < model->columnCount(); ++column)
        names << model->headerData(column, Qt::Horizontal).toString();
    return names;
}

void GridColumnWidths::Remember()
{
    // A data set closed at Start shows no columns for a moment: the widths of the last columns stay
    // for its next result.
    const QStringList names = ColumnNames();
    if (names.isEmpty())
        return;
    names_ = names;
    widths_.clear();
    for (int column = 0; column < names_.size(); ++column)
        widths_.push_back(grid_->columnWidth(column));
}

void GridColumnWidths::Apply()
{
    const QStringList names = ColumnNames();
    if (names == names_) {
        for (int column = 0; column < names.size(); ++column)
            grid_->setColumnWidth(column, widths_[static_cast<std::size_t>(column)]);
    }
    if (names != sizedFor_ && grid_->model()->rowCount() > 0) {
        SizeToContents();
        sizedFor_ = names;
    }
}

void GridColumnWidths::SizeToContents()
{
    const int limit = std::max(grid_->viewport()->width() / 3, grid_->horizontalHeader()->minimumSectionSize());
    for (int column = 0; column < grid_->model()->columnCount(); ++column) {
        grid_->resizeColumnToContents(column);
        if (grid_->columnWidth(column) > limit)
            grid_->setColumnWidth(column, limit);
    }
}
