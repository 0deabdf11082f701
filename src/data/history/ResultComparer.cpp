#include "data/history/ResultComparer.h"

#include "data/history/RowKeys.h"
#include "data/records/FieldKinds.h"
#include "data/records/RecordSet.h"
#include "data/view/CellChanges.h"

#include <QHashFunctions>
#include <algorithm>

namespace {

void MatchByPosition(const RecordSet& before, const RecordSet& after, ResultChanges& changes)
{
    const int common = std::min(before.rowCount(), after.rowCount());
    for (int row = 0; row < common; ++row) {
        changes.before[std::size_t(row)] = row;
        changes.marks.rows[std::size_t(row)] = RowChange::Same;
    }
    for (int row = common; row < before.rowCount(); ++row)
        changes.vanished.push_back(row);
}

// A row's key as its display text, for any key columns.
class TextRowKeys {
public:
    struct Key {
        QStringView text;
        std::size_t hash;
    };

    // Empties table for expected keys.
    TextRowKeys(const std::vector<int>& columns, KeyedValues& table, int expected) : columns_(columns), table_(table)
    {
        table_.reset(0, expected, qsizetype(expected) * 8);
    }

    // Valid until the next key is read.
    Key keyOf(const RecordSet& records, int row)
    {
        key_.clear();
        AppendRowKey(records, row, columns_, scratch_, key_);
        const QStringView text(key_.data(), key_.size());
        return {text, qHash(text)};
    }
    int insert(const Key& key) { return table_.insert(key.text, key.hash); }
    int find(const Key& key, int hint) const { return table_.find(key.text, key.hash, hint); }

private:
    const std::vector<int>& columns_;
    KeyedValues& table_;
    KeyText key_;
    TextScratch scratch_;
};

// A row's key as the value of its one integer key column, whose digits are one text for each value.
class IntegerRowKeys {
public:
    using Key = IntegerKeys::Key;

    // Empties table for expected keys.
    IntegerRowKeys(int column, IntegerKeys& table, int expected) : column_(column), table_(table)
    {
        table_.reset(expected);
    }

    Key keyOf(const RecordSet& records, int row) const
    {
        const RecordColumn& cells = records.column(column_);
        return cells.isNull(row) ? Key{0, true} : Key{cells.integer(row), false};
    }
    int insert(const Key& key) { return table_.insert(key); }
    int find(const Key& key, int hint) const { return table_.find(key, hint); }

private:
    int column_;
    IntegerKeys& table_;
};

void MarkChangedCells(const RecordSet& before, const RecordSet& after, ResultChanges& changes)
{
    RowMarks& marks = changes.marks;
    const std::size_t fields = std::size_t(after.fieldCount());
    marks.changed.assign((std::size_t(after.rowCount()) * fields + 63) / 64, 0);
    // Rows that continue rows of before in the same order, as runs: each column compares a run at once.
    struct Run {
        int row;
        int from;
        int count;
    };
    std::vector<Run> runs;
    for (int row = 0; row < after.rowCount();) {
        const int from = changes.before[std::size_t(row)];
        if (from < 0) {
            ++row;
            continue;
        }
        int count = 1;
        while (row + count < after.rowCount() && changes.before[std::size_t(row + count)] == from + count)
            ++count;
        runs.push_back({row, from, count});
        row += count;
    }
    for (int c = 0; c < after.fieldCount(); ++c) {
        const RecordColumn& now = after.column(c);
        const RecordColumn& then = before.column(c);
        for (const Run& run : runs) {
            now.compareRun(run.row, then, run.from, run.count, [&](int i) {
                const std::size_t bit = std::size_t(run.row + i) * fields + std::size_t(c);
                marks.changed[bit / 64] |= quint64(1) << (bit % 64);
            });
        }
    }
}

} // namespace

// Every row of before goes into one table of keys; a row of after finds its key there, in the
// order of before as a hint. Only the keys no row of before had need a table of their own, to
// tell which of them repeat.
template <typename RowKeys>
void ResultComparer::matchByKey(const RecordSet& before, const RecordSet& after, RowKeys& earlier, RowKeys& fresh,
                                ResultChanges& changes)
{
    const int earlierRows = before.rowCount();
    const int rows = after.rowCount();
    std::vector<int>& firstRow = firstRow_;
    std::vector<char>& repeatedBefore = repeatedBefore_;
    std::vector<int>& uses = uses_;
    firstRow.clear();
    repeatedBefore.clear();
    firstRow.reserve(std::size_t(earlierRows));
    repeatedBefore.reserve(std::size_t(earlierRows));
    for (int row = 0; row < earlierRows; ++row) {
        const int entry = earlier.insert(earlier.keyOf(before, row));
        if (entry < 0) {
            repeatedBefore[std::size_t(-1 - entry)] = 1;
            continue;
        }
        firstRow.push_back(row);
        repeatedBefore.push_back(0);
    }
    uses.assign(firstRow.size(), 0);

    std::vector<int>& entries = entries_;
    std::vector<char>& repeatedFresh = repeatedFresh_;
    entries.assign(std::size_t(rows), 0);
    repeatedFresh.clear();
    int hint = 0;
    for (int row = 0; row < rows; ++row) {
        const auto key = earlier.keyOf(after, row);
        const int entry = earlier.find(key, hint);
        if (entry >= 0) {
            entries[std::size_t(row)] = entry;
            ++uses[std::size_t(entry)];
            hint = entry + 1;
            continue;
        }
        int added = fresh.insert(key);
        if (added < 0) {
            added = -1 - added;
            repeatedFresh[std::size_t(added)] = 1;
        } else {
            repeatedFresh.push_back(0);
        }
        entries[std::size_t(row)] = -1 - added;
    }

    RowMarks& marks = changes.marks;
    for (int row = 0; row < rows; ++row) {
        const int entry = entries[std::size_t(row)];
        if (entry < 0) {
            if (repeatedFresh[std::size_t(-1 - entry)]) {
                marks.rows[std::size_t(row)] = RowChange::Unmarked;
                ++marks.repeatedKeys;
            }
            continue;
        }
        if (uses[std::size_t(entry)] > 1) {
            marks.rows[std::size_t(row)] = RowChange::Unmarked;
            ++marks.repeatedKeys;
        } else if (repeatedBefore[std::size_t(entry)]) {
            marks.rows[std::size_t(row)] = RowChange::Unmarked;
        } else {
            marks.rows[std::size_t(row)] = RowChange::Same;
            changes.before[std::size_t(row)] = firstRow[std::size_t(entry)];
        }
    }
    // Rows of before whose key is gone, in its order as its entries are; one whose key repeated is
    // matched with nothing, not lost.
    for (std::size_t entry = 0; entry < firstRow.size(); ++entry) {
        if (uses[entry] == 0 && !repeatedBefore[entry])
            changes.vanished.push_back(firstRow[entry]);
    }
}

ResultChanges ResultComparer::compare(const RecordSet& before, const RecordSet& after, const QStringList& keyColumns)
{
    ResultChanges changes;
    const int rows = after.rowCount();
    changes.before.assign(std::size_t(rows), -1);
    if (!SameFields(before, after))
        return changes;
    std::vector<int> keys;
    for (const QString& name : keyColumns) {
        const int index = FieldIndexIn(after, name);
        if (index < 0)
            changes.missingKeyColumns << name;
        else if (std::find(keys.begin(), keys.end(), index) == keys.end())
            keys.push_back(index);
    }
    RowMarks& marks = changes.marks;
    marks.fieldCount = after.fieldCount();
    marks.rows.assign(std::size_t(rows), RowChange::Appeared);
    marks.byPosition = keys.empty() || !changes.missingKeyColumns.isEmpty();
    if (marks.byPosition) {
        MatchByPosition(before, after, changes);
    } else if (keys.size() == 1 && FieldKindOf(after.field(keys.front()).type).form == ValueForm::Integer) {
        IntegerRowKeys earlier(keys.front(), earlierNumbers_, before.rowCount());
        IntegerRowKeys fresh(keys.front(), freshNumbers_, 0);
        matchByKey(before, after, earlier, fresh, changes);
    } else {
        TextRowKeys earlier(keys, earlierTexts_, before.rowCount());
        TextRowKeys fresh(keys, freshTexts_, 0);
        matchByKey(before, after, earlier, fresh, changes);
    }
    MarkChangedCells(before, after, changes);
    return changes;
}

