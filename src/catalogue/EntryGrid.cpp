#include "catalogue/EntryGrid.h"

#include "app/ImageList.h"
#include "app/Utils.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>

namespace {

constexpr int MarkerColumnWidth = 16;
constexpr int RowHeight = 18;
// Two marker columns and what the grid's frame, lines and scroll bar take.
constexpr int FixedWidths = 32 + 25;

// Paints a cell as usual, then the row markers over it.
class RowMarkerDelegate : public QStyledItemDelegate {
public:
    explicit RowMarkerDelegate(QTableWidget* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        DrawRowMarkers(painter, grid_, index.row(), 0, 4, ImageSlot::MarkerRight, ImageSlot::MarkerLeft);
    }

private:
    const QTableWidget* grid_;
};

} // namespace

void SetUpEntryGrid(QTableWidget* grid)
{
    grid->setColumnCount(5);
    grid->setHorizontalHeaderLabels({QString(), QStringLiteral("Идентификатор"), QStringLiteral("Наименование"),
                                     QStringLiteral("Скрипт-файл"), QString()});
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(RowHeight);
    grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setMinimumSectionSize(0);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setSectionsClickable(false);
    grid->setColumnWidth(0, MarkerColumnWidth);
    grid->setColumnWidth(4, MarkerColumnWidth);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    grid->setShowGrid(true);
    grid->setWordWrap(false);
    grid->setItemDelegate(new RowMarkerDelegate(grid));
    grid->setRowCount(2);
    grid->setRowHidden(0, true);
    // The markers follow the current row, also where the selection does not change with it.
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, grid,
                     [grid] { grid->viewport()->update(); });
}

int EntryColumnWidth(int freeWidth, int percent)
{
    // Exact in whole numbers: w * percent / 100, a half going to the even neighbour.
    const long long scaled = static_cast<long long>(std::max(freeWidth, 0)) * percent;
    long long whole = scaled / 100;
    const long long remainder = scaled % 100;
    if (remainder > 50 || (remainder == 50 && whole % 2 != 0))
        ++whole;
    return static_cast<int>(whole);
}

void LayOutEntryColumns(QTableWidget* grid)
{
    const int free = grid->width() - FixedWidths;
    grid->setColumnWidth(1, EntryColumnWidth(free, 20));
    grid->setColumnWidth(2, EntryColumnWidth(free, 25));
    grid->setColumnWidth(3, EntryColumnWidth(free, 55));
}

void SelectEntryRow(QTableWidget* grid, int row)
{
    // Row 0 is the hidden title row.
    grid->setCurrentCell(std::clamp(row, 1, std::max(grid->rowCount() - 1, 1)), std::max(grid->currentColumn(), 1));
}

int FindEntryRow(const QTableWidget* grid, const QString& id, bool last)
{
    int found = -1;
    for (int row = 1; row < grid->rowCount(); ++row) {
        const QTableWidgetItem* item = grid->item(row, 1);
        if (item && item->text() == id) {
            found = row;
            if (!last)
                break;
        }
    }
    return found;
}
