#include "data/display/BlockingTreeModel.h"

#include "data/records/RecordSet.h"
#include "data/view/BlockingForest.h"

namespace {

const QString CycleMark = QStringLiteral(" (цикл)");
const QString AbsentMark = QStringLiteral(" (нет в результате)");

} // namespace

BlockingTreeModel::BlockingTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void BlockingTreeModel::beginChange()
{
    if (changing_)
        return;
    changing_ = true;
    beginResetModel();
}

void BlockingTreeModel::endChange(std::shared_ptr<const BlockingForest> forest, std::vector<bool> inView)
{
    if (!changing_)
        beginResetModel();
    forest_ = std::move(forest);
    inView_ = std::move(inView);
    changing_ = false;
    endResetModel();
}

int BlockingTreeModel::leadColumns() const
{
    return forest_ && forest_->waitColumn >= 0 ? 3 : 2;
}

QModelIndex BlockingTreeModel::indexOfNode(int node) const
{
    if (!forest_ || node < 0 || std::size_t(node) >= forest_->nodes.size())
        return {};
    return createIndex(forest_->nodes[std::size_t(node)].position, 0, quintptr(node));
}

int BlockingTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? int(index.internalId()) : -1;
}

QModelIndex BlockingTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!forest_ || changing_ || row < 0 || column < 0 || column >= columnCount())
        return {};
    if (!parent.isValid()) {
        if (std::size_t(row) >= forest_->top.size())
            return {};
        return createIndex(row, column, quintptr(forest_->top[std::size_t(row)]));
    }
    const BlockingForest::Node& up = forest_->nodes[parent.internalId()];
    if (row >= up.childCount)
        return {};
    return createIndex(row, column, quintptr(forest_->children[std::size_t(up.firstChild + row)]));
}

QModelIndex BlockingTreeModel::parent(const QModelIndex& child) const
{
    if (!forest_ || changing_ || !child.isValid())
        return {};
    return indexOfNode(forest_->nodes[child.internalId()].parent);
}

int BlockingTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!forest_ || changing_)
        return 0;
    if (!parent.isValid())
        return int(forest_->top.size());
    return parent.column() == 0 ? forest_->nodes[parent.internalId()].childCount : 0;
}

int BlockingTreeModel::columnCount(const QModelIndex&) const
{
    if (!forest_ || changing_)
        return 0;
    return leadColumns() + forest_->records->fieldCount();
}

QVariant BlockingTreeModel::data(const QModelIndex& index, int role) const
{
    if (!forest_ || changing_ || !index.isValid())
        return {};
    const BlockingForest::Node& node = forest_->nodes[index.internalId()];
    if (role == RecordRowRole)
        return node.row;
    if (role == Qt::TextAlignmentRole && index.column() > 0 && index.column() < leadColumns())
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0:
        return forest_->keyOf(int(index.internalId())) + (node.row < 0 ? AbsentMark : node.cycle ? CycleMark : QString());
    case 1:
        return node.waiting > 0 ? QVariant(node.waiting) : QVariant();
    default:
        break;
    }
    if (index.column() < leadColumns()) {
        return node.longestWaitRow >= 0 ? forest_->records->displayText(node.longestWaitRow, forest_->waitColumn)
                                        : QString();
    }
    return node.row >= 0 ? forest_->records->displayText(node.row, index.column() - leadColumns()) : QString();
}

QVariant BlockingTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !forest_ || changing_ || section < 0
        || section >= columnCount())
        return {};
    if (section == 0)
        return QStringLiteral("Сеанс");
    if (section == 1)
        return QStringLiteral("Ждут");
    if (section < leadColumns())
        return QStringLiteral("Дольше всех ждёт");
    return forest_->records->field(section - leadColumns()).name;
}

Qt::ItemFlags BlockingTreeModel::flags(const QModelIndex& index) const
{
    if (!forest_ || changing_ || !index.isValid())
        return Qt::NoItemFlags;
    const int row = forest_->nodes[index.internalId()].row;
    // A session of the result that the filter hides cannot become the window's row.
    if (row >= 0 && (std::size_t(row) >= inView_.size() || !inView_[std::size_t(row)]))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
