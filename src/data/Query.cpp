#include "data/Query.h"

#include "data/Connection.h"
#include "data/DataErrors.h"
#include "data/RecordSet.h"
#include "data/RowFilter.h"
#include "data/RowOrdering.h"

#include <algorithm>
#include <numeric>
#include <optional>

Query::Query(QObject* parent) : QObject(parent) {}

Query::~Query() = default;

QString Query::displayName() const
{
    return objectName().isEmpty() ? QStringLiteral("Query") : objectName();
}

void Query::requireActive() const
{
    if (!records_)
        throw DataError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

int Query::requireCurrentRow() const
{
    requireActive();
    if (current_ < 0 || current_ >= int(view_.size()))
        throw DataError(QStringLiteral("%1: There is no current record").arg(displayName()));
    return view_[std::size_t(current_)];
}

void Query::open()
{
    if (!connection_ || !connection_->connected())
        throw DataError(QStringLiteral("%1: The connection is not open").arg(displayName()));
    close();
    std::unique_ptr<RecordSet> records;
    try {
        records = connection_->execute(sql_.join(u'\n'), decimalsAsFloat_);
    } catch (const DatabaseError&) {
        connection_->checkAlive();
        throw;
    }
    if (!records)
        throw DataError(QStringLiteral("CommandText does not return a result set"));
    installRecords(std::move(records));
}

void Query::close()
{
    if (!records_)
        return;
    Q_EMIT dataAboutToChange();
    rowFilter_.reset();
    records_.reset();
    order_.clear();
    view_.clear();
    current_ = 0;
    Q_EMIT dataChanged();
}

void Query::adopt(Query& source)
{
    if (&source == this)
        return;
    if (!source.records_)
        throw DataError(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(source.displayName()));
    Q_EMIT source.dataAboutToChange();
    std::unique_ptr<RecordSet> records = std::move(source.records_);
    // Rows the source already holds in this data set's sort order (the monitor's worker sorts
    // them off the user-interface thread) keep that order instead of being sorted again.
    std::vector<int> presorted;
    if (!sortText_.isEmpty() && source.sortText_ == sortText_)
        presorted = std::move(source.order_);
    source.rowFilter_.reset();
    source.order_.clear();
    source.view_.clear();
    source.current_ = 0;
    Q_EMIT source.dataChanged();
    installRecords(std::move(records), std::move(presorted));
}

// Takes the rows and applies this data set's own sort and filter to them. Should either not fit
// the new fields, the rows stay (unsorted or unfiltered) and the error follows the signals.
void Query::installRecords(std::unique_ptr<RecordSet> records, std::vector<int> presorted)
{
    Q_EMIT dataAboutToChange();
    rowFilter_.reset();
    records_ = std::move(records);
    std::optional<DataError> failure;
    if (!presorted.empty() && presorted.size() == std::size_t(records_->rowCount())) {
        order_ = std::move(presorted);
    } else {
        order_.resize(std::size_t(records_->rowCount()));
        std::iota(order_.begin(), order_.end(), 0);
        try {
            rebuildOrder(ParseSortText(sortText_));
        } catch (const DataError& e) {
            sortText_.clear();
            failure = e;
        }
    }
    if (filtered_) {
        try {
            rowFilter_ = std::make_unique<RowFilter>(ParseFilterExpression(filterText_), *records_, displayName());
        } catch (const DataError& e) {
            filtered_ = false;
            if (!failure)
                failure = e;
        }
    }
    rebuildView();
    current_ = 0;
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
    if (failure)
        throw *failure;
}

int Query::fieldCount() const
{
    return records_ ? records_->fieldCount() : 0;
}

const FieldInfo& Query::field(int index) const
{
    requireActive();
    if (index < 0 || index >= records_->fieldCount())
        throw DataError(QStringLiteral("%1: Field index %2 out of range").arg(displayName()).arg(index));
    return records_->field(index);
}

void Query::setFieldTag(int index, int tag)
{
    field(index);
    records_->field(index).tag = tag;
    Q_EMIT fieldTagChanged(index);
}

int Query::fieldIndex(const QString& name) const
{
    if (!records_)
        return -1;
    for (int i = 0; i < records_->fieldCount(); ++i) {
        if (records_->field(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString Query::fieldText(int index) const
{
    const int row = requireCurrentRow();
    field(index);
    return records_->displayText(row, index);
}

bool Query::fieldIsNull(int index) const
{
    const int row = requireCurrentRow();
    field(index);
    return records_->isNull(row, index);
}

QVariant Query::fieldValue(int index) const
{
    const int row = requireCurrentRow();
    field(index);
    return records_->value(row, index);
}

QString Query::fieldTextByName(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw DataError(QStringLiteral("%1: Field '%2' not found").arg(displayName(), name));
    return fieldText(index);
}

QString Query::displayText(int viewRow, int column) const
{
    return records_->displayText(view_[std::size_t(viewRow)], column);
}

bool Query::isNull(int viewRow, int column) const
{
    return records_->isNull(view_[std::size_t(viewRow)], column);
}

void Query::moveTo(int position)
{
    current_ = position;
    Q_EMIT afterScroll();
}

void Query::first()
{
    requireActive();
    moveTo(0);
}

void Query::next()
{
    requireActive();
    if (current_ < int(view_.size()))
        moveTo(current_ + 1);
}

int Query::recNo() const
{
    if (!records_ || current_ >= int(view_.size()))
        return 0;
    return current_ + 1;
}

void Query::setRecNo(int recNo)
{
    requireActive();
    if (recNo < 1 || recNo > int(view_.size()))
        throw DataError(QStringLiteral("%1: Record number %2 out of range").arg(displayName()).arg(recNo));
    moveTo(recNo - 1);
}

Bookmark Query::bookmark() const
{
    if (!records_ || current_ >= int(view_.size()))
        return Bookmark();
    return Bookmark{view_[std::size_t(current_)]};
}

void Query::gotoBookmark(const Bookmark& bookmark)
{
    requireActive();
    const auto it = std::find(view_.begin(), view_.end(), bookmark.row);
    if (!bookmark.valid() || it == view_.end())
        throw DataError(QStringLiteral("%1: The bookmarked row is gone").arg(displayName()));
    moveTo(int(it - view_.begin()));
}

void Query::rebuildOrder(const QList<SortKey>& keys)
{
    std::vector<std::vector<qint64>> columns;
    std::vector<bool> descending;
    std::vector<int> indexes;
    for (const SortKey& key : keys) {
        const int index = fieldIndex(key.field);
        if (index < 0)
            throw DataError(QStringLiteral("%1: Field '%2' not found").arg(displayName(), key.field));
        indexes.push_back(index);
        descending.push_back(key.descending);
    }
    std::iota(order_.begin(), order_.end(), 0);
    if (indexes.empty())
        return;
    for (const int index : indexes)
        columns.push_back(OrderingKeys(*records_, index));
    SortRows(order_, columns, descending);
}

void Query::rebuildView()
{
    if (!rowFilter_) {
        view_ = order_;
        return;
    }
    view_.clear();
    for (const int row : order_) {
        if (rowFilter_->matches(row))
            view_.push_back(row);
    }
}

void Query::setSort(const QString& text)
{
    requireActive();
    // The order always follows sortText_, so the same text again (as the refresh sets it after
    // an adoption that already applied it) has nothing to do.
    if (text == sortText_)
        return;
    const QList<SortKey> keys = ParseSortText(text);
    const Bookmark current = bookmark();
    Q_EMIT dataAboutToChange();
    try {
        rebuildOrder(keys);
    } catch (const DataError&) {
        // Put back the order of the sort that stays in force.
        rebuildOrder(ParseSortText(sortText_));
        Q_EMIT dataChanged();
        throw;
    }
    sortText_ = text;
    rebuildView();
    const auto it = std::find(view_.begin(), view_.end(), current.row);
    current_ = it == view_.end() ? 0 : int(it - view_.begin());
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
}

void Query::setFilter(const QString& text)
{
    filterText_ = text;
    if (filtered_)
        setFiltered(true);
}

void Query::setFiltered(bool on)
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

qsizetype Query::bytesUsed() const
{
    if (!records_)
        return 0;
    return records_->bytesUsed() + qsizetype((order_.capacity() + view_.capacity()) * sizeof(int));
}
