#pragma once

#include <QStringList>

// What a catalogue entry carries beyond the scripts file and the menu file: kept in the options
// file, one section per script identifier.
struct ScriptOptions {
    // The columns that together identify a row from one refresh to the next.
    QStringList keyColumns;
    // Running totals (CPU, reads, ...): each gets its change per second shown beside it.
    QStringList cumulativeColumns;

    // How much of its recent results a window keeps: the last so many minutes or megabytes,
    // whichever is less; 0 for the default.
    int historyMinutes = 0;
    int historyMegabytes = 0;

    static constexpr int DefaultHistoryMinutes = 60;
    static constexpr int DefaultHistoryMegabytes = 100;
    int keptMinutes() const { return historyMinutes > 0 ? historyMinutes : DefaultHistoryMinutes; }
    int keptMegabytes() const { return historyMegabytes > 0 ? historyMegabytes : DefaultHistoryMegabytes; }

    bool empty() const
    {
        return keyColumns.isEmpty() && cumulativeColumns.isEmpty() && historyMinutes == 0 && historyMegabytes == 0;
    }
    friend bool operator==(const ScriptOptions&, const ScriptOptions&) = default;
};
