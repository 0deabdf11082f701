#pragma once

#include "data/view/BlockingForest.h"

#include <QSet>
#include <QTreeView>
#include <memory>

class BlockingTreeModel;
class QMainWindow;
class QMenu;
class Query;

// The window's rows as chains of blocked sessions, shown in place of the grid while switched on.
// Follows the data set: its rows at every change, its current row both ways. Across refreshes it
// keeps the branches the operator collapsed (new chains come expanded) and where it was scrolled.
class BlockingTree : public QTreeView {
    Q_OBJECT
public:
    explicit BlockingTree(Query& query, QWidget* parent = nullptr);

    // Shares the central area of body with its grid, shown while toggle is on, and opens popup
    // over its sessions.
    void Install(QMainWindow& body, QAction& toggle, QMenu& popup);
    // The script's columns, as its options name them.
    void SetColumns(const BlockingColumns& columns);
    // Whether the data set's rows have those columns.
    bool Available() const { return available_; }
    // The forest of the rows that the data set is about to take over, built by the worker.
    void Take(std::shared_ptr<const BlockingForest> forest);
    // While not shown the tree holds and follows nothing.
    void SetShown(bool shown);

Q_SIGNALS:
    void availableChanged(bool available);
    // The operator asked for the popup, at global, over a session that is now the data set's row.
    void popupWanted(const QPoint& global);

private:
    void BeforeChange();
    void AfterChange();
    // The expanded branches and the current row after the model was reset.
    void Restore();
    void FollowCurrentRow();
    void RowChosen(const QModelIndex& current);
    void ShowPopup(const QPoint& at);
    void Remember(const QModelIndex& index, bool collapsed);

    Query& query_;
    BlockingTreeModel* model_;
    BlockingColumns columns_;
    std::shared_ptr<const BlockingForest> pending_;
    QSet<QString> collapsed_;
    bool shown_ = false;
    bool available_ = false;
    bool restoring_ = false;
    bool sized_ = false;
};
