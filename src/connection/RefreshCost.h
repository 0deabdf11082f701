#pragma once

#include <QtGlobal>
#include <optional>

// What the server counted of a script's work since the refresh before, where it tells cheaply;
// each figure absent where it does not.
struct ServerCost {
    // SQL Server: the processor time of the worker's own session.
    std::optional<qint64> cpuMs;
    // PostgreSQL: the execution time of the script's statement (pg_stat_statements counts no processor time).
    std::optional<qint64> executionMs;
    // SQL Server: the session's reads; PostgreSQL: the blocks the statement read, from the cache or not.
    std::optional<qint64> reads;
};

// What one refresh cost, as the worker measured it.
struct RefreshCost {
    // From sending the batch to the last row fetched.
    qint64 durationMs = 0;
    // The interval the worker kept while it ran, in seconds; 0 for a single run.
    int intervalSeconds = 0;
    // The worker's own, longer interval while the script's runs are slow; 0 while it keeps the operator's.
    int stretchedSeconds = 0;
    ServerCost server;
};
