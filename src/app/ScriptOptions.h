#pragma once

#include <QStringList>

// What a catalogue entry carries beyond the scripts file and the menu file: kept in the options
// file, one section per script identifier.
struct ScriptOptions {
    // The columns that together identify a row from one refresh to the next.
    QStringList keyColumns;
    // Running totals (CPU, reads, ...): each gets its change per second shown beside it.
    QStringList cumulativeColumns;

    bool empty() const { return keyColumns.isEmpty() && cumulativeColumns.isEmpty(); }
    friend bool operator==(const ScriptOptions&, const ScriptOptions&) = default;
};
