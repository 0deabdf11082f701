#pragma once

#include "data/history/KeyedValues.h"
#include "data/history/RateProblems.h"

#include <QStringList>
#include <memory>
#include <vector>

class RecordSet;

// The per-second rates of a script's cumulative columns (running totals such as CPU time), from
// one refresh to the next. Each refresh's rows get, right after every cumulative column, a Float
// column "<name>/с": the change of the value since the previous refresh of the row with the same
// key, per second, or null for a new row, a value that fell (a reset), a null or unreadable value
// and on the first refresh. Rows are matched by the display texts of the key columns, as the grid
// shows them; rows whose key repeats within a result get no rate. Of a refresh only the key and
// the cumulative values are kept for the next one.
class CumulativeRates {
public:
    // Column names as the script's options give them, matched to the result's without regard to
    // case.
    CumulativeRates(QStringList keyColumns, QStringList cumulativeColumns);

    // Whether any rows are changed at all: cumulative columns are named.
    bool active() const { return !cumulativeColumns_.isEmpty(); }

    // records with the rate columns inserted, their other columns moved over unchanged; records
    // as they are when no rate column applies. milliseconds is the refresh's time on a steady clock.
    std::unique_ptr<RecordSet> apply(std::unique_ptr<RecordSet> records, qint64 milliseconds);

    // What the last apply() met.
    const RateProblems& problems() const { return problems_; }
    // Bytes kept of the last refresh for the next, for the benchmark's memory figures.
    qsizetype bytesKept() const { return previous_.bytesUsed(); }

    // The title of the rate column of a cumulative column.
    static QString rateColumnName(const QString& cumulativeColumn);

private:
    QStringList keyColumns_;
    QStringList cumulativeColumns_;
    RateProblems problems_;
    KeyedValues previous_;
    // What the refresh before held, and each row's entries: room kept for the next refresh.
    KeyedValues spare_;
    std::vector<int> entries_;
    std::vector<int> before_;
    std::vector<char> repeated_;
    // The result's cumulative columns that previous_ holds, in its order.
    std::vector<int> previousColumns_;
    qint64 previousTime_ = 0;
    bool hasPrevious_ = false;
};
