#include "data/history/ResultChanges.h"

#include "data/history/KeyedValues.h"
#include "data/history/RowKeys.h"
#include "data/records/RecordSet.h"

#include <QHashFunctions>
#include <algorithm>

namespace {

bool SameFields(const RecordSet& before, const RecordSet& after)
{
    if (before.fieldCount() != after.fieldCount())
        return false;
    for (int c = 0; c < after.fieldCount(); ++c) {
        if (before.field(c).name != after.field(c).name || before.field(c).type != after.field(c).type)
            return false;
    }
    return true;
}

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

// Every row of before goes into one table of keys; a row of after finds its key there, in the
// order of before as a hint. Only the keys no row of before had need a table of their own, to
// tell which of them repeat.
void MatchByKey(const RecordSet& before, const RecordSet& after, const std::vector<int>& keys, ResultChanges& changes)
{
    const int earlierRows = before.rowCount();
    const int rows = after.rowCount();
    KeyedValues earlier(0, earlierRows, qsizetype(earlierRows) * 8);
    // Per entry of earlier: its first row, whether the key repeats in before, how many rows of
    // after have it.
    std::vector<int> firstRow;
    std::vector<char> repeatedBefore;
    std::vector<int> uses;
    firstRow.reserve(std::size_t(earlierRows));
    repeatedBefore.reserve(std::size_t(earlierRows));
    KeyText key;
    TextScratch scratch;
    for (int row = 0; row < earlierRows; ++row) {
        key.clear();
        AppendRowKey(before, row, keys, scratch, key);
        const QStringView text(key.data(), key.size());
        const int entry = earlier.insert(text, qHash(text));
        if (entry < 0) {
            repeatedBefore[std::size_t(-1 - entry)] = 1;
            continue;
        }
        firstRow.push_back(row);
        repeatedBefore.push_back(0);
    }
    uses.assign(firstRow.size(), 0);

    // Per row of after: its entry of earlier, or -1 - its entry of fresh.
    std::vector<int> entries(std::size_t(rows), 0);
    KeyedValues fresh;
    std::vector<char> repeatedFresh;
    int hint = 0;
    for (int row = 0; row < rows; ++row) {
        key.clear();
        AppendRowKey(after, row, keys, scratch, key);
        const QStringView text(key.data(), key.size());
        const std::size_t hash = qHash(text);
        const int entry = earlier.find(text, hash, hint);
        if (entry >= 0) {
            entries[std::size_t(row)] = entry;
            ++uses[std::size_t(entry)];
            hint = entry + 1;
            continue;
        }
        int added = fresh.insert(text, hash);
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

void MarkChangedCells(const RecordSet& before, const RecordSet& after, ResultChanges& changes)
{
    RowMarks& marks = changes.marks;
    const std::size_t fields = std::size_t(after.fieldCount());
    marks.changed.assign((std::size_t(after.rowCount()) * fields + 63) / 64, 0);
    for (int c = 0; c < after.fieldCount(); ++c) {
        const RecordColumn& now = after.column(c);
        const RecordColumn& then = before.column(c);
        for (int row = 0; row < after.rowCount(); ++row) {
            const int earlier = changes.before[std::size_t(row)];
            if (earlier >= 0 && !now.sameCell(row, then, earlier)) {
                const std::size_t bit = std::size_t(row) * fields + std::size_t(c);
                marks.changed[bit / 64] |= quint64(1) << (bit % 64);
            }
        }
    }
}

} // namespace

ResultChanges CompareResults(const RecordSet& before, const RecordSet& after, const QStringList& keyColumns)
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
    if (marks.byPosition)
        MatchByPosition(before, after, changes);
    else
        MatchByKey(before, after, keys, changes);
    MarkChangedCells(before, after, changes);
    return changes;
}

std::unique_ptr<RecordSet> WithVanishedRows(std::unique_ptr<RecordSet> after, const RecordSet& before,
                                            ResultChanges& changes)
{
    if (changes.vanished.empty())
        return after;
    const int first = after->rowCount();
    // Per row of before: the record row that holds it now, or -1.
    std::vector<int> heldAs(std::size_t(before.rowCount()), -1);
    for (int row = 0; row < first; ++row) {
        const int earlier = changes.before[std::size_t(row)];
        if (earlier >= 0)
            heldAs[std::size_t(earlier)] = row;
    }
    for (std::size_t i = 0; i < changes.vanished.size(); ++i)
        heldAs[std::size_t(changes.vanished[i])] = first + int(i);

    RowMarks& marks = changes.marks;
    marks.placeAfter.assign(std::size_t(first) + changes.vanished.size(), -1);
    int last = -1;
    auto vanished = changes.vanished.begin();
    for (int row = 0; row < before.rowCount(); ++row) {
        if (vanished != changes.vanished.end() && *vanished == row) {
            marks.placeAfter[std::size_t(heldAs[std::size_t(row)])] = last;
            ++vanished;
        }
        if (heldAs[std::size_t(row)] >= 0)
            last = heldAs[std::size_t(row)];
    }
    for (const int row : changes.vanished) {
        after->appendRow(before, row);
        marks.rows.push_back(RowChange::Vanished);
    }
    marks.changed.resize((marks.rows.size() * std::size_t(marks.fieldCount) + 63) / 64, 0);
    return after;
}
