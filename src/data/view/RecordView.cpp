#include "data/view/RecordView.h"

#include "data/DataErrors.h"
#include "data/records/RecordSet.h"
#include "data/view/RowFilter.h"
#include "data/view/RowOrdering.h"

#include <algorithm>
#include <numeric>
#include <optional>

RecordView::RecordView(QObject* parent) : QObject(parent) {}

RecordView::~RecordView() = default;

// Errors name the view by its object name; one without a name is the data set's "Query".
QString RecordView::displayName() const
{
    return objectName().isEmpty() ? QStringLiteral("Query") : objectName();
}

void RecordView::requireActive() const
{
    if (!records_)
        throw DataError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

int RecordView::requireCurrentRow() const
{
    requireActive();
    if (current_ < 0 || current_ >= int(view_.size()))
        throw DataError(QStringLiteral("%1: There is no current record").arg(displayName()));
    return view_[std::size_t(current_)];
}

void RecordView::setRecords(std::unique_ptr<RecordSet> records, RowMarks marks)
{
    installRecords(std::move(records), std::move(marks));
}

void RecordView::close()
{
    if (!records_)
        return;
    Q_EMIT dataAboutToChange();
    rowFilter_.reset();
    records_.reset();
    marks_ = {};
    order_.clear();
    view_.clear();
    current_ = 0;
    Q_EMIT dataChanged();
}

void RecordView::adopt(RecordView& source, const Bookmark& keep)
{
    if (&source == this)
        return;
    if (!source.records_)
        throw DataError(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(source.displayName()));
    Q_EMIT source.dataAboutToChange();
    std::unique_ptr<RecordSet> records = std::move(source.records_);
    RowMarks marks = std::exchange(source.marks_, {});
    // Rows the source already holds in this view's sort order (the monitor's worker sorts
    // them off the user-interface thread) keep that order instead of being sorted again.
    std::vector<int> presorted;
    if (!sortText_.isEmpty() && source.sortText_ == sortText_)
        presorted = std::move(source.order_);
    source.rowFilter_.reset();
    source.order_.clear();
    source.view_.clear();
    source.current_ = 0;
    Q_EMIT source.dataChanged();
    installRecords(std::move(records), std::move(marks), std::move(presorted), keep);
}

namespace {

constexpr qint64 ComparedCellsAtMost = 100000;

int FieldIndexIn(const RecordSet& records, const QString& name)
{
    for (int i = 0; i < records.fieldCount(); ++i) {
        if (records.field(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// Record order, except that each vanished row follows the row it followed before.
std::vector<int> NaturalOrder(int rowCount, const RowMarks& marks)
{
    std::vector<int> order;
    order.reserve(std::size_t(rowCount));
    if (marks.placeAfter.empty()) {
        order.resize(std::size_t(rowCount));
        std::iota(order.begin(), order.end(), 0);
        return order;
    }
    // Vanished rows by the row they follow (slot 0: none held), each placed once.
    std::vector<std::vector<int>> followers(std::size_t(rowCount) + 1);
    for (int row = 0; row < rowCount && std::size_t(row) < marks.placeAfter.size(); ++row) {
        if (marks.row(row) != RowChange::Vanished)
            continue;
        const int after = marks.placeAfter[std::size_t(row)];
        followers[after >= 0 && after < rowCount && after != row ? std::size_t(after) + 1 : 0].push_back(row);
    }
    std::vector<char> placed(std::size_t(rowCount), 0);
    const auto emit = [&](auto& self, int row) -> void {
        if (placed[std::size_t(row)])
            return;
        placed[std::size_t(row)] = 1;
        order.push_back(row);
        for (const int follower : followers[std::size_t(row) + 1])
            self(self, follower);
    };
    for (const int follower : followers[0])
        emit(emit, follower);
    for (int row = 0; row < rowCount; ++row) {
        if (marks.row(row) != RowChange::Vanished)
            emit(emit, row);
    }
    // A vanished row whose chain of places leads nowhere held still shows, at the end.
    for (int row = 0; row < rowCount; ++row)
        emit(emit, row);
    return order;
}

std::vector<int> ViewOf(const std::vector<int>& order, const RowFilter* filter)
{
    if (!filter)
        return order;
    std::vector<int> view;
    for (const int row : order) {
        if (filter->matches(row))
            view.push_back(row);
    }
    return view;
}

} // namespace

// Takes the rows and applies this view's own sort and filter to them. Should either not fit
// the new fields, the rows stay (unsorted or unfiltered) and the error follows the signals. All
// that is new is made before the signals, so that a listener learns whether the change keeps the
// shape of the view before it happens; the rows held before go as soon as they have been compared.
void RecordView::installRecords(std::unique_ptr<RecordSet> records, RowMarks marks, std::vector<int> presorted,
                                const Bookmark& keep)
{
    std::optional<DataError> failure;
    QString sortText = sortText_;
    std::vector<int> order;
    if (!presorted.empty() && presorted.size() == std::size_t(records->rowCount())) {
        order = std::move(presorted);
    } else {
        try {
            order = orderOf(*records, ParseSortText(sortText), marks);
        } catch (const DataError& e) {
            order = NaturalOrder(records->rowCount(), marks);
            sortText.clear();
            failure = e;
        }
    }
    bool filtered = filtered_;
    std::unique_ptr<RowFilter> filter;
    if (filtered) {
        try {
            filter = std::make_unique<RowFilter>(ParseFilterExpression(filterText_), *records, displayName());
        } catch (const DataError& e) {
            filtered = false;
            if (!failure)
                failure = e;
        }
    }
    std::vector<int> view = ViewOf(order, filter.get());

    // Comparing costs the user-interface thread time in proportion to the cells, where a reset costs
    // a repaint of the rows in sight: a large result is reset as it always was.
    keepsShape_ = records_ && view.size() == view_.size() && SameFields(*records_, *records)
        && qint64(view.size()) * records->fieldCount() <= ComparedCellsAtMost;
    // Marks come and go on cells whose text stays: a marked result repaints all it shows.
    const bool marked = !marks_.empty() || !marks.empty() || !marks_.looks.empty() || !marks.looks.empty();
    Q_EMIT dataAboutToChange();
    std::unique_ptr<RecordSet> previous = std::exchange(records_, std::move(records));
    std::vector<int> previousView = std::exchange(view_, std::move(view));
    order_ = std::move(order);
    marks_ = std::move(marks);
    rowFilter_ = std::move(filter);
    filtered_ = filtered;
    const bool sortDropped = sortText != sortText_;
    sortText_ = sortText;
    if (keepsShape_ && marked && !view_.empty())
        changedCells_ = {CellRange{0, int(view_.size()) - 1, 0, records_->fieldCount() - 1}};
    else if (keepsShape_)
        changedCells_ = ChangedCells(*previous, previousView, *records_, view_);
    previous.reset();
    previousView = {};
    const auto kept = keep.valid() ? std::find(view_.begin(), view_.end(), keep.row) : view_.end();
    current_ = kept == view_.end() ? 0 : int(kept - view_.begin());
    Q_EMIT dataChanged();
    keepsShape_ = false;
    changedCells_ = {};
    if (sortDropped)
        Q_EMIT sortChanged();
    Q_EMIT afterScroll();
    if (failure)
        throw *failure;
}

int RecordView::fieldCount() const
{
    return records_ ? records_->fieldCount() : 0;
}

const FieldInfo& RecordView::field(int index) const
{
    requireActive();
    if (index < 0 || index >= records_->fieldCount())
        throw DataError(QStringLiteral("%1: Field index %2 out of range").arg(displayName()).arg(index));
    return records_->field(index);
}

void RecordView::setFieldTag(int index, int tag)
{
    field(index);
    records_->field(index).tag = tag;
    Q_EMIT fieldTagChanged(index);
}

int RecordView::fieldIndex(const QString& name) const
{
    return records_ ? FieldIndexIn(*records_, name) : -1;
}

QString RecordView::fieldText(int index) const
{
    const int row = requireCurrentRow();
    field(index);
    return records_->displayText(row, index);
}

bool RecordView::fieldIsNull(int index) const
{
    const int row = requireCurrentRow();
    field(index);
    return records_->isNull(row, index);
}

QVariant RecordView::fieldValue(int index) const
{
    const int row = requireCurrentRow();
    field(index);
    return records_->value(row, index);
}

QString RecordView::fieldTextByName(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw DataError(QStringLiteral("%1: Field '%2' not found").arg(displayName(), name));
    return fieldText(index);
}

QString RecordView::displayText(int viewRow, int column) const
{
    return records_->displayText(view_[std::size_t(viewRow)], column);
}

bool RecordView::isNull(int viewRow, int column) const
{
    return records_->isNull(view_[std::size_t(viewRow)], column);
}

void RecordView::moveTo(int position)
{
    current_ = position;
    Q_EMIT afterScroll();
}

void RecordView::first()
{
    requireActive();
    moveTo(0);
}

void RecordView::next()
{
    requireActive();
    if (current_ < int(view_.size()))
        moveTo(current_ + 1);
}

int RecordView::recNo() const
{
    if (!records_ || current_ >= int(view_.size()))
        return 0;
    return current_ + 1;
}

void RecordView::setRecNo(int recNo)
{
    requireActive();
    if (recNo < 1 || recNo > int(view_.size()))
        throw DataError(QStringLiteral("%1: Record number %2 out of range").arg(displayName()).arg(recNo));
    moveTo(recNo - 1);
}

Bookmark RecordView::bookmark() const
{
    if (!records_ || current_ >= int(view_.size()))
        return Bookmark();
    return Bookmark{view_[std::size_t(current_)]};
}

void RecordView::gotoBookmark(const Bookmark& bookmark)
{
    requireActive();
    const auto it = std::find(view_.begin(), view_.end(), bookmark.row);
    if (!bookmark.valid() || it == view_.end())
        throw DataError(QStringLiteral("%1: The bookmarked row is gone").arg(displayName()));
    moveTo(int(it - view_.begin()));
}

std::vector<int> RecordView::orderOf(const RecordSet& records, const QList<SortKey>& keys, const RowMarks& marks) const
{
    std::vector<bool> descending;
    std::vector<int> indexes;
    for (const SortKey& key : keys) {
        const int index = FieldIndexIn(records, key.field);
        if (index < 0)
            throw DataError(QStringLiteral("%1: Field '%2' not found").arg(displayName(), key.field));
        indexes.push_back(index);
        descending.push_back(key.descending);
    }
    if (indexes.empty())
        return NaturalOrder(records.rowCount(), marks);
    std::vector<int> order(std::size_t(records.rowCount()));
    std::iota(order.begin(), order.end(), 0);
    // The keys of one sort live no longer than the sort.
    std::vector<std::vector<qint64>> columns;
    for (const int index : indexes)
        columns.push_back(OrderingKeys(records, index));
    SortRows(order, columns, descending);
    return order;
}

void RecordView::rebuildView()
{
    view_ = ViewOf(order_, rowFilter_.get());
}

void RecordView::setSort(const QString& text)
{
    requireActive();
    // The order always follows sortText_, so the same text again (as the refresh sets it after
    // an adoption that already applied it) has nothing to do.
    if (text == sortText_)
        return;
    const QList<SortKey> keys = ParseSortText(text);
    const Bookmark current = bookmark();
    // The sort that stays in force while an unknown field is named.
    std::vector<int> order = orderOf(*records_, keys, marks_);
    Q_EMIT dataAboutToChange();
    order_ = std::move(order);
    sortText_ = text;
    rebuildView();
    const auto it = std::find(view_.begin(), view_.end(), current.row);
    current_ = it == view_.end() ? 0 : int(it - view_.begin());
    Q_EMIT dataChanged();
    Q_EMIT sortChanged();
    Q_EMIT afterScroll();
}

void RecordView::setFilter(const QString& text)
{
    filterText_ = text;
    if (filtered_)
        setFiltered(true);
}

void RecordView::setFiltered(bool on)
{
    if (!on) {
        const bool wasFiltering = rowFilter_ != nullptr;
        filtered_ = false;
        if (!wasFiltering)
            return;
        Q_EMIT dataAboutToChange();
        rowFilter_.reset();
        rebuildView();
        current_ = 0;
        Q_EMIT dataChanged();
        Q_EMIT afterScroll();
        return;
    }
    const FilterExpression expression = [&] {
        try {
            return ParseFilterExpression(filterText_);
        } catch (const DataError&) {
            setFiltered(false);
            throw;
        }
    }();
    if (!records_) {
        filtered_ = true;
        return;
    }
    std::unique_ptr<RowFilter> compiled;
    try {
        compiled = std::make_unique<RowFilter>(expression, *records_, displayName());
    } catch (const DataError&) {
        setFiltered(false);
        throw;
    }
    Q_EMIT dataAboutToChange();
    filtered_ = true;
    rowFilter_ = std::move(compiled);
    rebuildView();
    current_ = 0;
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
}

qsizetype RecordView::bytesUsed() const
{
    if (!records_)
        return 0;
    return records_->bytesUsed() + qsizetype((order_.capacity() + view_.capacity()) * sizeof(int));
}
