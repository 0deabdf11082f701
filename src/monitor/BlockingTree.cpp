#include "monitor/BlockingTree.h"

#include "app/Guarded.h"
#include "data/DataErrors.h"
#include "data/display/BlockingTreeModel.h"
#include "data/history/RowKeys.h"
#include "data/Query.h"
#include "data/records/RecordSet.h"

#include <QAction>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QStackedWidget>

BlockingTree::BlockingTree(Query& query, QWidget* parent)
    : QTreeView(parent), query_(query), model_(new BlockingTreeModel(this))
{
    setObjectName(QStringLiteral("BlockingTree"));
    setModel(model_);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(false);

    ConnectGuarded(&query_, &Query::dataAboutToChange, this, [this] { BeforeChange(); });
    ConnectGuarded(&query_, &Query::dataChanged, this, [this] { AfterChange(); });
    ConnectGuarded(&query_, &Query::afterScroll, this, [this] {
        if (shown_ && !restoring_)
            FollowCurrentRow();
    });
    ConnectGuarded(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                   [this](const QModelIndex& current) { RowChosen(current); });
    ConnectGuarded(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) { Remember(index, true); });
    ConnectGuarded(this, &QTreeView::expanded, this, [this](const QModelIndex& index) { Remember(index, false); });
    ConnectGuarded(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { ShowPopup(at); });
}

void BlockingTree::Install(QMainWindow& body, QAction& toggle, QMenu& popup)
{
    auto* central = new QStackedWidget(&body);
    central->setObjectName(QStringLiteral("CentralArea"));
    QWidget* grid = body.takeCentralWidget();
    central->addWidget(grid);
    central->addWidget(this);
    body.setCentralWidget(central);
    ConnectGuarded(&toggle, &QAction::toggled, this, [this, central, grid](bool on) {
        central->setCurrentWidget(on ? this : grid);
        SetShown(on);
    });
    ConnectGuarded(this, &BlockingTree::availableChanged, this, [&toggle](bool available) {
        toggle.setEnabled(available);
        if (!available)
            toggle.setChecked(false);
    });
    ConnectGuarded(this, &BlockingTree::popupWanted, this, [&popup](const QPoint& at) { popup.popup(at); });
}

void BlockingTree::SetColumns(const BlockingColumns& columns)
{
    if (columns.key == columns_.key && columns.blockedBy == columns_.blockedBy && columns.wait == columns_.wait)
        return;
    columns_ = columns;
    collapsed_.clear();
    BeforeChange();
    AfterChange();
}

void BlockingTree::Take(std::shared_ptr<const BlockingForest> forest)
{
    pending_ = shown_ ? std::move(forest) : nullptr;
}

void BlockingTree::SetShown(bool shown)
{
    if (shown == shown_)
        return;
    shown_ = shown;
    BeforeChange();
    AfterChange();
}

void BlockingTree::BeforeChange()
{
    // Hidden and empty, the tree costs the data set's changes nothing.
    if (shown_ || model_->sharedForest())
        model_->beginChange();
}

void BlockingTree::AfterChange()
{
    const RecordSet* records = query_.records();
    const bool available = records && !columns_.empty() && FieldIndexIn(*records, columns_.key) >= 0
        && FieldIndexIn(*records, columns_.blockedBy) >= 0;
    if (available != available_) {
        available_ = available;
        Q_EMIT availableChanged(available);
    }
    if (!shown_ && !model_->sharedForest()) {
        pending_.reset();
        return;
    }
    std::shared_ptr<const BlockingForest> forest;
    std::vector<bool> inView;
    if (shown_ && available) {
        // The worker's forest of these rows, the one shown when only the view changed, or one of
        // rows that came otherwise (an earlier refresh of the history, the switch just turned on).
        if (pending_ && pending_->records == records)
            forest = std::move(pending_);
        else if (model_->sharedForest() && model_->sharedForest()->records == records)
            forest = model_->sharedForest();
        else
            forest = BuildBlockingForest(*records, query_.marks(), columns_);
        inView.assign(std::size_t(records->rowCount()), false);
        for (int row = 0; row < query_.viewRowCount(); ++row)
            inView[std::size_t(query_.recordRow(row))] = true;
    }
    pending_.reset();
    const int scrolled = verticalScrollBar()->value();
    restoring_ = true;
    model_->endChange(std::move(forest), std::move(inView));
    restoring_ = false;
    Restore();
    verticalScrollBar()->setValue(scrolled);
    // The tree's own columns fit their titles once; the operator's widths stay from then on.
    if (!sized_ && model_->forest()) {
        sized_ = true;
        for (int column = 0; column < model_->columnCount() - model_->forest()->records->fieldCount(); ++column)
            resizeColumnToContents(column);
    }
}

void BlockingTree::Restore()
{
    const BlockingForest* forest = model_->forest();
    if (!forest)
        return;
    restoring_ = true;
    QSet<QString> stillCollapsed;
    for (std::size_t node = 0; node < forest->nodes.size(); ++node) {
        if (forest->nodes[node].childCount == 0)
            continue;
        const QString key = forest->keyOf(int(node));
        if (collapsed_.contains(key))
            stillCollapsed.insert(key);
        else
            expand(model_->indexOfNode(int(node)));
    }
    collapsed_ = std::move(stillCollapsed);
    FollowCurrentRow();
    // The scroll range follows the rows only once they are laid out.
    doItemsLayout();
    restoring_ = false;
}

void BlockingTree::FollowCurrentRow()
{
    const BlockingForest* forest = model_->forest();
    if (!forest)
        return;
    const int row = query_.recNo() > 0 ? query_.bookmark().row : -1;
    const int node = row >= 0 && std::size_t(row) < forest->nodeOfRow.size() ? forest->nodeOfRow[std::size_t(row)] : -1;
    const QModelIndex target = model_->indexOfNode(node);
    if (target == currentIndex().siblingAtColumn(0))
        return;
    const bool wasRestoring = restoring_;
    restoring_ = true;
    const bool autoScroll = hasAutoScroll();
    setAutoScroll(false);
    if (target.isValid())
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        selectionModel()->clear();
    setAutoScroll(autoScroll);
    restoring_ = wasRestoring;
}

void BlockingTree::RowChosen(const QModelIndex& current)
{
    if (restoring_ || !current.isValid())
        return;
    const int row = current.data(BlockingTreeModel::RecordRowRole).toInt();
    if (row < 0 || !(current.flags() & Qt::ItemIsEnabled))
        return;
    restoring_ = true;
    try {
        query_.gotoBookmark(Bookmark{row});
    } catch (const DataError&) {
        // The filter hides it: such rows cannot be chosen, and a race with a refresh is lost.
    }
    restoring_ = false;
}

void BlockingTree::ShowPopup(const QPoint& at)
{
    const QModelIndex index = indexAt(at);
    const int row = index.data(BlockingTreeModel::RecordRowRole).toInt();
    // The commands act on the data set's row: only over a session that has become it.
    if (!index.isValid() || row < 0 || !(index.flags() & Qt::ItemIsEnabled))
        return;
    setCurrentIndex(index);
    if (query_.recNo() > 0 && query_.bookmark().row == row)
        Q_EMIT popupWanted(viewport()->mapToGlobal(at));
}

void BlockingTree::Remember(const QModelIndex& index, bool collapsed)
{
    const BlockingForest* forest = model_->forest();
    if (restoring_ || !forest || !index.isValid())
        return;
    const QString key = forest->keyOf(model_->nodeOf(index));
    if (collapsed)
        collapsed_.insert(key);
    else
        collapsed_.remove(key);
}
