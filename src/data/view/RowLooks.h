#pragma once

#include <QMetaType>
#include <QtGlobal>
#include <cstdint>
#include <vector>

// How a row rule shows the rows it applies to.
struct RowLook {
    // 0xAARRGGBB, or 0 for the grid's own background.
    quint32 background = 0;
    bool bold = false;
    // An image of the program's image list drawn in the row's first cell; -1 for none.
    int icon = -1;
    friend bool operator==(const RowLook&, const RowLook&) = default;
};
Q_DECLARE_METATYPE(RowLook)

// The looks of a record set's rows, by record row; empty when no rule applies to any row. Travels
// with the change marks, so that a look follows its row through sort, filter and adoption.
struct RowLooks {
    std::vector<RowLook> looks;
    // Per record row: 1 + the index of its look, 0 for none. Rows past the end have none.
    std::vector<std::uint16_t> rows;

    bool empty() const { return rows.empty(); }
    const RowLook* of(int record) const
    {
        const std::uint16_t look = std::size_t(record) < rows.size() ? rows[std::size_t(record)] : 0;
        return look == 0 ? nullptr : &looks[look - 1];
    }
};
