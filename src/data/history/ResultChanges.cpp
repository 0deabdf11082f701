#include "data/history/ResultChanges.h"

#include "data/history/ResultComparer.h"
#include "data/records/RecordSet.h"

ResultChanges CompareResults(const RecordSet& before, const RecordSet& after, const QStringList& keyColumns)
{
    return ResultComparer().compare(before, after, keyColumns);
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
