#pragma once

#include <QAbstractTableModel>
#include <vector>

class RecordView;

// The grid's view of a data set: one column per field in field order, one row per row of the
// data set's current view. Reads cells straight from the data set. Resets with it, except where a
// change keeps the fields and the number of rows, as a refresh of a watched result mostly does:
// then the view is told only of the cells that changed, and of nothing when nothing did, so that it
// repaints only what it must.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Header data role of a column: the field's SortMarker as an int.
    static constexpr int SortMarkerRole = Qt::UserRole + 1;
    // Data role of a cell: its CellMark as an int; none when the view's rows are not marked.
    static constexpr int MarkRole = Qt::UserRole + 2;
    enum class CellMark { None = 0, RowAppeared = 1, RowVanished = 2, CellChanged = 3 };
    // Data role of a cell: the RowLook a row rule gives its row; none when no rule applies.
    static constexpr int LookRole = Qt::UserRole + 3;

    explicit DataSetModel(RecordView* view, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void beginChange();
    void endChange();
    void announceMarker(int section);
    void announceMarkers();

    RecordView* view_;
    bool resetting_ = false;
    // The sort markers the view was last told of, by section.
    std::vector<int> shownMarkers_;
    bool markerCheckPosted_ = false;
};
