#include "data/DataSetModel.h"

#include "data/FieldType.h"
#include "data/Query.h"
#include "data/SortMarker.h"

DataSetModel::DataSetModel(Query* query, QObject* parent) : QAbstractTableModel(parent), query_(query)
{
    connect(query_, &Query::dataAboutToChange, this, &DataSetModel::beginResetModel);
    connect(query_, &Query::dataChanged, this, &DataSetModel::endResetModel);
    connect(query_, &Query::fieldTagChanged, this,
            [this](int index) { Q_EMIT headerDataChanged(Qt::Horizontal, index, index); });
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !query_->active() ? 0 : query_->viewRowCount();
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : query_->fieldCount();
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return query_->displayText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (IsNumberFieldType(query_->fieldType(index.column())))
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= query_->fieldCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return query_->fieldName(section);
    case SortMarkerRole:
        return static_cast<int>(SortMarkerOf(query_->fieldTag(section)));
    default:
        return QVariant();
    }
}
