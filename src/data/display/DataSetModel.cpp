#include "data/display/DataSetModel.h"

#include "data/records/FieldType.h"
#include "data/view/RecordView.h"
#include "data/view/SortMarker.h"

#include <algorithm>

namespace {
constexpr std::size_t ManyBlocks = 64;
} // namespace

DataSetModel::DataSetModel(RecordView* view, QObject* parent) : QAbstractTableModel(parent), view_(view)
{
    connect(view_, &RecordView::dataAboutToChange, this, &DataSetModel::beginChange);
    connect(view_, &RecordView::dataChanged, this, &DataSetModel::endChange);
    connect(view_, &RecordView::fieldTagChanged, this, &DataSetModel::announceMarker);
}

void DataSetModel::beginChange()
{
    resetting_ = !view_->changeKeepsShape();
    if (resetting_)
        beginResetModel();
}

void DataSetModel::endChange()
{
    if (resetting_) {
        resetting_ = false;
        endResetModel();
        shownMarkers_.assign(std::size_t(view_->fieldCount()), 0);
        for (int i = 0; i < view_->fieldCount(); ++i)
            shownMarkers_[std::size_t(i)] = view_->fieldTag(i);
        return;
    }
    // A single cell is repainted alone. Many blocks are told as the one block around them all:
    // a view looks at every block it is told of, and would take longer over them than repainting.
    const std::vector<CellRange>& changed = view_->changedCells();
    if (changed.size() <= ManyBlocks) {
        for (const CellRange& range : changed)
            Q_EMIT dataChanged(index(range.firstRow, range.firstColumn), index(range.lastRow, range.lastColumn));
    } else {
        CellRange all = changed.front();
        for (const CellRange& range : changed) {
            all.firstColumn = std::min(all.firstColumn, range.firstColumn);
            all.lastColumn = std::max(all.lastColumn, range.lastColumn);
        }
        all.lastRow = changed.back().lastRow;
        Q_EMIT dataChanged(index(all.firstRow, all.firstColumn), index(all.lastRow, all.lastColumn));
    }
    // New rows come unmarked and a refresh marks them again at once: the markers are compared once
    // that is done, and only a marker that then differs is announced.
    if (!markerCheckPosted_) {
        markerCheckPosted_ = true;
        QMetaObject::invokeMethod(this, &DataSetModel::announceMarkers, Qt::QueuedConnection);
    }
}

void DataSetModel::announceMarker(int section)
{
    const int marker = view_->fieldTag(section);
    if (std::size_t(section) < shownMarkers_.size() && shownMarkers_[std::size_t(section)] == marker)
        return;
    if (std::size_t(section) >= shownMarkers_.size())
        shownMarkers_.resize(std::size_t(section) + 1, 0);
    shownMarkers_[std::size_t(section)] = marker;
    Q_EMIT headerDataChanged(Qt::Horizontal, section, section);
}

void DataSetModel::announceMarkers()
{
    markerCheckPosted_ = false;
    for (int i = 0; i < view_->fieldCount(); ++i)
        announceMarker(i);
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !view_->active() ? 0 : view_->viewRowCount();
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : view_->fieldCount();
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return view_->displayText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (IsNumberFieldType(view_->fieldType(index.column())))
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant();
    case LookRole: {
        const RowLook* look = view_->marks().looks.of(view_->recordRow(index.row()));
        return look ? QVariant::fromValue(*look) : QVariant();
    }
    case MarkRole: {
        const RowMarks& marks = view_->marks();
        if (marks.empty())
            return QVariant();
        const int record = view_->recordRow(index.row());
        switch (marks.row(record)) {
        case RowChange::Appeared:
            return int(CellMark::RowAppeared);
        case RowChange::Vanished:
            return int(CellMark::RowVanished);
        case RowChange::Same:
            return marks.cellChanged(record, index.column()) ? QVariant(int(CellMark::CellChanged)) : QVariant();
        case RowChange::Unmarked:
            break;
        }
        return QVariant();
    }
    default:
        return QVariant();
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= view_->fieldCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return view_->fieldName(section);
    case SortMarkerRole:
        return static_cast<int>(SortMarkerOf(view_->fieldTag(section)));
    default:
        return QVariant();
    }
}
