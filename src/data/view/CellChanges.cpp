#include "data/view/CellChanges.h"

#include "data/records/RecordSet.h"

#include <cstring>

namespace {

// Marks in first and last the view rows whose cell of column differs, column by column so that
// each loop reads two arrays of one kind.
template <typename Same>
void MarkColumn(const RecordColumn& a, const std::vector<int>& rowsA, const RecordColumn& b,
                const std::vector<int>& rowsB, int column, std::vector<int>& first, std::vector<int>& last, Same same)
{
    for (std::size_t i = 0; i < rowsA.size(); ++i) {
        const int ra = rowsA[i];
        const int rb = rowsB[i];
        const bool nullA = a.isNull(ra);
        if (nullA == b.isNull(rb) && (nullA || same(ra, rb)))
            continue;
        if (first[i] < 0)
            first[i] = column;
        last[i] = column;
    }
}

void MarkColumn(const RecordColumn& a, const std::vector<int>& rowsA, const RecordColumn& b,
                const std::vector<int>& rowsB, int column, std::vector<int>& first, std::vector<int>& last)
{
    const auto mark = [&](auto same) { MarkColumn(a, rowsA, b, rowsB, column, first, last, same); };
    switch (a.storage()) {
    case RecordColumn::Storage::Integer:
        // The same instant at another offset shows another wall time.
        if (a.withOffsets())
            return mark([&](int ra, int rb) {
                return a.integer(ra) == b.integer(rb) && a.offsetDateTime(ra).offsetMinutes == b.offsetDateTime(rb).offsetMinutes;
            });
        return mark([&](int ra, int rb) { return a.integer(ra) == b.integer(rb); });
    case RecordColumn::Storage::Real:
        // Bit for bit: a value that prints the same is the same, and NaN is no exception.
        return mark([&](int ra, int rb) {
            const double x = a.real(ra);
            const double y = b.real(rb);
            return std::memcmp(&x, &y, sizeof x) == 0;
        });
    case RecordColumn::Storage::Text:
        break;
    }
    // Texts of one form are equal when their bytes are.
    const auto sameBytes = [](auto x, auto y) {
        return x.size() == y.size() && (x.isEmpty() || std::memcmp(x.data(), y.data(), std::size_t(x.size()) * sizeof(*x.data())) == 0);
    };
    if (!a.wide() && !b.wide())
        return mark([&](int ra, int rb) { return sameBytes(a.latin1Text(ra), b.latin1Text(rb)); });
    if (a.wide() && b.wide())
        return mark([&](int ra, int rb) { return sameBytes(a.utf16Text(ra), b.utf16Text(rb)); });
    if (a.wide())
        return mark([&](int ra, int rb) { return a.utf16Text(ra) == b.latin1Text(rb); });
    return mark([&](int ra, int rb) { return b.utf16Text(rb) == a.latin1Text(ra); });
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
    std::vector<int> first(beforeRows.size(), -1);
    std::vector<int> last(beforeRows.size(), -1);
    for (int c = 0; c < before.fieldCount(); ++c)
        MarkColumn(before.column(c), beforeRows, after.column(c), afterRows, c, first, last);
    std::vector<CellRange> changed;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (first[i] < 0)
            continue;
        const int row = int(i);
        if (!changed.empty() && changed.back().lastRow == row - 1 && changed.back().firstColumn == first[i]
            && changed.back().lastColumn == last[i])
            changed.back().lastRow = row;
        else
            changed.push_back({row, row, first[i], last[i]});
    }
    return changed;
}
