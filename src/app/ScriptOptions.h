#pragma once

#include "data/history/RowRule.h"

#include <QList>
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

    // Rules on the rows, in the order they are tried: the first that applies to a row gives its look.
    QList<RowRule> rules;

    // The column that names the row (by its first key column) a blocked session waits for; empty
    // when the script shows no blocking. The wait column, when given, holds how long it has waited.
    QString blockedByColumn;
    QString waitColumn;

    // The command menu items, by their identifiers, that end or change sessions: confirmed with the
    // row's values and checked against the server before they run.
    QStringList dangerousCommands;
    // A script that finds the row again on the server by its key columns before a dangerous command
    // runs; empty to run the window's own script for that.
    QString checkScript;

    static constexpr int DefaultHistoryMinutes = 60;
    static constexpr int DefaultHistoryMegabytes = 100;
    int keptMinutes() const { return historyMinutes > 0 ? historyMinutes : DefaultHistoryMinutes; }
    int keptMegabytes() const { return historyMegabytes > 0 ? historyMegabytes : DefaultHistoryMegabytes; }

    bool empty() const
    {
        return *this == ScriptOptions{};
    }
    friend bool operator==(const ScriptOptions&, const ScriptOptions&) = default;
};
