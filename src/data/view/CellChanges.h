#pragma once

#include <vector>

class RecordSet;

// A block of cells of a view, all bounds inclusive.
struct CellRange {
    int firstRow = 0;
    int lastRow = 0;
    int firstColumn = 0;
    int lastColumn = 0;
    friend bool operator==(const CellRange&, const CellRange&) = default;
};

// The cells that differ between two views of as many rows over record sets of the same fields:
// view row i shows record row beforeRows[i] before and afterRows[i] after. One block per run of
// rows that changed in the same columns, from the first changed column to the last; none when
// nothing changed.
std::vector<CellRange> ChangedCells(const RecordSet& before, const std::vector<int>& beforeRows,
                                    const RecordSet& after, const std::vector<int>& afterRows);

// Whether two record sets have the same fields by name and kind, in the same order.
bool SameFields(const RecordSet& a, const RecordSet& b);
