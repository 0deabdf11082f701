#include "data/CellChanges.h"

#include "data/RecordSet.h"

#include <cstring>

namespace {

bool SameCell(const RecordColumn& a, int rowA, const RecordColumn& b, int rowB)
{
    const bool nullA = a.isNull(rowA);
    if (nullA != b.isNull(rowB))
        return false;
    if (nullA)
        return true;
    switch (a.storage()) {
    case RecordColumn::Storage::Integer:
        return a.integer(rowA) == b.integer(rowB);
    case RecordColumn::Storage::Real: {
        // Bit for bit: a value that prints the same is the same, and NaN is no exception.
        const double x = a.real(rowA);
        const double y = b.real(rowB);
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    case RecordColumn::Storage::Text:
        break;
    }
    if (!a.wide() && !b.wide())
        return a.latin1Text(rowA) == b.latin1Text(rowB);
    if (a.wide() && b.wide())
        return a.utf16Text(rowA) == b.utf16Text(rowB);
    return a.wide() ? a.utf16Text(rowA) == b.latin1Text(rowB) : b.utf16Text(rowB) == a.latin1Text(rowA);
}

} // namespace

bool SameFields(const RecordSet& a, const RecordSet& b)
{
    if (a.fieldCount() != b.fieldCount())
        return false;
    for (int i = 0; i < a.fieldCount(); ++i) {
        if (a.field(i).type != b.field(i).type || a.field(i).name != b.field(i).name)
            return false;
    }
    return true;
}

std::vector<CellRange> ChangedCells(const RecordSet& before, const std::vector<int>& beforeRows,
                                    const RecordSet& after, const std::vector<int>& afterRows)
{
    std::vector<CellRange> changed;
    const int columns = before.fieldCount();
    for (std::size_t i = 0; i < beforeRows.size(); ++i) {
        int first = -1;
        int last = -1;
        for (int c = 0; c < columns; ++c) {
            if (SameCell(before.column(c), beforeRows[i], after.column(c), afterRows[i]))
                continue;
            if (first < 0)
                first = c;
            last = c;
        }
        if (first < 0)
            continue;
        const int row = int(i);
        if (!changed.empty() && changed.back().lastRow == row - 1 && changed.back().firstColumn == first
            && changed.back().lastColumn == last)
            changed.back().lastRow = row;
        else
            changed.push_back({row, row, first, last});
    }
    return changed;
}
