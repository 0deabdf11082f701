#pragma once

#include "data/view/Bookmark.h"
#include "data/view/CellChanges.h"
#include "data/records/FieldInfo.h"
#include "data/view/FilterExpression.h"
#include "data/view/RowMarks.h"
#include "data/view/SortText.h"

#include <QObject>
#include <QVariant>
#include <memory>
#include <vector>

class RecordSet;
class RowFilter;

// The rows of one result set as the operator sees them: ordered by a sort text, narrowed by a
// filter, with a current row and bookmarks on it. Needs no server: the rows come from whoever
// fetched them, and another view can adopt them.
class RecordView : public QObject {
    Q_OBJECT

public:
    explicit RecordView(QObject* parent = nullptr);
    ~RecordView() override;

    // Takes these rows in place of those held, with the marks of their changes, and applies this
    // view's own sort and filter to them; a sort or filter that does not fit them throws as adopt does.
    void setRecords(std::unique_ptr<RecordSet> records, RowMarks marks = {});
    void close();
    bool active() const { return records_ != nullptr; }

    // Takes over the rows source holds (a pointer move) and their marks; source is closed afterwards.
    // This view keeps its own sort text, filter text and filter switch and applies them to
    // the new rows; the current row is keep when the view shows that row, else the first of the
    // view. A sort or filter that does not fit the new fields throws DataError after the rows
    // were taken over, with that sort cleared or that filter switched off.
    void adopt(RecordView& source, const Bookmark& keep = Bookmark());

    int fieldCount() const;
    const FieldInfo& field(int index) const;
    QString fieldName(int index) const { return field(index).name; }
    FieldType fieldType(int index) const { return field(index).type; }
    // The field's sort marker; a new result set starts with 0 on every field.
    int fieldTag(int index) const { return field(index).tag; }
    void setFieldTag(int index, int tag);
    // -1 when there is no such field; names compared without regard to case.
    int fieldIndex(const QString& name) const;

    // Values of the current row. Throw DataError when there is no current row.
    QString fieldText(int index) const;
    bool fieldIsNull(int index) const;
    QVariant fieldValue(int index) const;   // null gives an invalid QVariant
    // Throws DataError "<objectName or Query>: Field 'x' not found" also when closed.
    QString fieldTextByName(const QString& name) const;

    // The view: the held rows that pass the filter, in sort order.
    int viewRowCount() const { return int(view_.size()); }
    QString displayText(int viewRow, int column) const;
    bool isNull(int viewRow, int column) const;
    // The record row a view row shows, for a bookmark or the marks.
    int recordRow(int viewRow) const { return view_[std::size_t(viewRow)]; }
    const RecordSet* records() const { return records_.get(); }

    // The marks of the rows' changes since the result they were compared with; empty when they were
    // not. Without a sort, a vanished row is shown where it stood.
    const RowMarks& marks() const { return marks_; }

    void first();
    void next();
    bool eof() const { return current_ >= int(view_.size()); }
    // 1-based position in the view; 0 when closed, empty or past the last row.
    int recNo() const;
    void setRecNo(int recNo);
    int recordCount() const { return int(view_.size()); }

    Bookmark bookmark() const;
    // Throws DataError when the row is no longer held or is filtered out.
    void gotoBookmark(const Bookmark& bookmark);

    // "[A] ,[B] DESC"; applied to the held rows at once. Throws DataError on a closed view,
    // on an unknown field (naming it) and on text it cannot read; the sort then stays as it was.
    QString sort() const { return sortText_; }
    void setSort(const QString& text);

    // The filter text is kept as given; the switch applies it. Turning the switch on parses and
    // evaluates it on the held rows; an expression that cannot be applied throws DataError and
    // leaves the switch off. The filter never reaches the server.
    QString filter() const { return filterText_; }
    void setFilter(const QString& text);
    bool filtered() const { return filtered_; }
    void setFiltered(bool on);

    // Bytes held by the rows, for the benchmark's memory figures.
    qsizetype bytesUsed() const;

    // While dataAboutToChange and dataChanged are emitted: whether the change keeps the fields and
    // the number of rows in view, which an adoption of a refreshed result mostly does, for a view of
    // up to 100,000 cells; and, by dataChanged, the cells of the view that such a change has changed.
    bool changeKeepsShape() const { return keepsShape_; }
    const std::vector<CellRange>& changedCells() const { return changedCells_; }

Q_SIGNALS:
    // Around every change of the fields or of the rows in view: new rows, close, adopt, sort, filter.
    void dataAboutToChange();
    void dataChanged();
    // Every move of the current row, including those that new rows, adopt, sort and filter cause.
    void afterScroll();
    void fieldTagChanged(int index);
    // The sort text has changed: set, or dropped by rows that lack a sorted field.
    void sortChanged();

protected:
    // The name errors give the view.
    QString displayName() const;

private:
    void requireActive() const;
    int requireCurrentRow() const;
    // The rows of records in the order of keys; throws DataError naming a field records lacks.
    std::vector<int> orderOf(const RecordSet& records, const QList<SortKey>& keys, const RowMarks& marks) const;
    void rebuildView();
    void moveTo(int position);
    void installRecords(std::unique_ptr<RecordSet> records, RowMarks marks, std::vector<int> presorted = {},
                        const Bookmark& keep = Bookmark());

    std::unique_ptr<RecordSet> records_;
    RowMarks marks_;
    std::vector<int> order_;   // every held row, in sort order
    std::vector<int> view_;    // the rows of order_ that pass the filter
    int current_ = 0;

    QString sortText_;
    QString filterText_;
    bool filtered_ = false;
    std::unique_ptr<RowFilter> rowFilter_;
    bool keepsShape_ = false;
    std::vector<CellRange> changedCells_;
};
