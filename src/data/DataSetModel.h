#pragma once

#include <QAbstractTableModel>

class Query;

// The grid's view of a data set: one column per field in field order, one row per row of the
// data set's current view. Reads cells straight from the data set; resets with it.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Header data role of a column: the field's SortMarker as an int.
    static constexpr int SortMarkerRole = Qt::UserRole + 1;

    explicit DataSetModel(Query* query, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Query* query_;
};
