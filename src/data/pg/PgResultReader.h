#pragma once

#include "data/DataErrors.h"

#include <atomic>
#include <memory>
#include <vector>

class RecordColumn;
class RecordSet;
struct pg_conn;
struct pg_result;

// The error of a failed result as the driver words it; the session's own message when there is
// no result, or no server error in it.
DatabaseError PgResultError(const pg_result* result, const pg_conn* conn);

// Reads the results of a batch sent in single-row mode: keeps the first result that has
// columns and drains the rest, so the session is ready for the next batch. Rows are gathered in
// blocks, and a second thread converts each block into column storage while libpq reads the next.
// An error anywhere in the batch fails it, as it does through the driver.
class PgResultReader {
public:
    PgResultReader(pg_conn* conn, bool decimalsAsFloat, const std::atomic<bool>& cancelRequested);
    ~PgResultReader();

    // nullptr when the batch has no result with columns. Throws DatabaseError, or DataError
    // when a cancel came while rows were arriving.
    std::unique_ptr<RecordSet> readBatch();

    // How a column's text becomes its stored value.
    enum class Form { Integer, Real, Money, Boolean, Date, Time, DateTime, Bytes, Guid, Text };

private:
    static constexpr int Slots = 2;

    void begin(const pg_result* result);
    void storeBlock(int slot);
    void store(const pg_result* row);

    pg_conn* conn_;
    bool decimalsAsFloat_;
    const std::atomic<bool>& cancelRequested_;
    std::unique_ptr<RecordSet> records_;
    std::vector<Form> forms_;
    // Rows read and not yet stored, each owned here until it is.
    std::vector<pg_result*> blocks_[Slots];
};
