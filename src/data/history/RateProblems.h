#pragma once

#include <QStringList>

// What kept rates from a refresh's rows, for the operator to put right in the script's options.
struct RateProblems {
    // Key and cumulative column names the result lacks.
    QStringList missingColumns;
    // Cumulative columns whose values are neither numbers nor text: they get no rate column.
    QStringList unusableColumns;
    // Cumulative columns are named but no key columns: nothing to match rows by.
    bool noKeyColumns = false;
    // Rows whose key other rows of the same result share: they get no rate.
    int repeatedKeyRows = 0;

    bool any() const
    {
        return !missingColumns.isEmpty() || !unusableColumns.isEmpty() || noKeyColumns || repeatedKeyRows > 0;
    }
    friend bool operator==(const RateProblems&, const RateProblems&) = default;
};
