#pragma once

#include "data/view/RowLooks.h"

#include <QtGlobal>
#include <cstdint>
#include <vector>

// What a row shows of its change since the result it is compared with.
enum class RowChange : std::uint8_t {
    Same = 0,       // matched a row of the earlier result (its cells may still have changed)
    Appeared = 1,   // no row of the earlier result had its key
    Vanished = 2,   // a row of the earlier result that this one lacks, kept to be shown in place
    Unmarked = 3,   // its key repeats within the result: neither matched nor marked
};

// The change marks of a record set's rows and cells, by record row (not view row). Empty when the
// result is not compared with anything: the first refresh, other fields, marking off.
struct RowMarks {
    int fieldCount = 0;
    // Per record row.
    std::vector<RowChange> rows;
    // Bit row * fieldCount + column: the cell differs from the cell of its row in the earlier result.
    std::vector<quint64> changed;
    // Per record row (empty when nothing vanished): for a vanished row, the record row it followed
    // in the earlier result that is still held (a matched row or another vanished row), or -1 for
    // the first place; -1 for the other rows. Lets an unsorted view show a vanished row where it was.
    std::vector<int> placeAfter;
    // No key columns: rows were matched by their position.
    bool byPosition = false;
    // Rows whose key repeats within the result.
    int repeatedKeys = 0;
    // What the script's row rules make of the rows, whether or not they are compared.
    RowLooks looks;

    bool empty() const { return rows.empty(); }
    RowChange row(int record) const
    {
        return std::size_t(record) < rows.size() ? rows[std::size_t(record)] : RowChange::Same;
    }
    bool cellChanged(int record, int column) const
    {
        const std::size_t bit = std::size_t(record) * std::size_t(fieldCount) + std::size_t(column);
        return bit / 64 < changed.size() && ((changed[bit / 64] >> (bit % 64)) & 1u);
    }
};
