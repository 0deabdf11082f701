#pragma once

#include "data/view/RowMarks.h"

#include <QStringList>
#include <memory>
#include <vector>

class RecordSet;

// How the rows of a result continue the rows of an earlier one. Rows are matched by the display
// texts of the key columns (names matched without regard to case); without key columns, by their
// position. Rows whose key repeats within either result are matched with nothing.
struct ResultChanges {
    // Per row of the later result: its row in the earlier one, or -1.
    std::vector<int> before;
    // The marks of the later result's rows and cells (empty when the results' fields differ).
    RowMarks marks;
    // Rows of the earlier result that the later one lacks, in the earlier result's order.
    std::vector<int> vanished;
    // Key column names the later result lacks (it is then compared by position).
    QStringList missingKeyColumns;
};

// Compares after with before. When their fields differ (by name and kind, in order) nothing is
// matched and the marks are empty.
ResultChanges CompareResults(const RecordSet& before, const RecordSet& after, const QStringList& keyColumns);

// after with the vanished rows of before appended (copied whole), and changes.marks grown to them
// (RowChange::Vanished, placeAfter set). after is returned unchanged when nothing vanished.
std::unique_ptr<RecordSet> WithVanishedRows(std::unique_ptr<RecordSet> after, const RecordSet& before,
                                            ResultChanges& changes);
