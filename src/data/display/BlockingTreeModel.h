#pragma once

#include <QAbstractItemModel>
#include <memory>
#include <vector>

struct BlockingForest;

// The blocking forest as a tree: the session's key (marked when it is part of a cycle or not in the
// result), how many wait behind it and, with a wait column, the longest of their waits, then every
// field of its row. Reads the cells of the forest's rows when asked; rows the window's filter hides
// are shown but cannot be chosen.
class BlockingTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    // Data role of every cell: the node's record row, -1 for a session not in the result.
    static constexpr int RecordRowRole = Qt::UserRole + 1;

    explicit BlockingTreeModel(QObject* parent = nullptr);

    // Before the forest's rows go away.
    void beginChange();
    // A forest (none for an empty tree), and by record row whether the window's view shows it.
    void endChange(std::shared_ptr<const BlockingForest> forest, std::vector<bool> inView);
    // None while it changes.
    const BlockingForest* forest() const { return changing_ ? nullptr : forest_.get(); }
    const std::shared_ptr<const BlockingForest>& sharedForest() const { return forest_; }
    // The index of node's first column; invalid for none.
    QModelIndex indexOfNode(int node) const;
    // -1 for an invalid index.
    int nodeOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The columns before the fields.
    int leadColumns() const;

    std::shared_ptr<const BlockingForest> forest_;
    std::vector<bool> inView_;
    bool changing_ = false;
};
