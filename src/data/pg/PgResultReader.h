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

    // A block of rows copied out of libpq's results, which are freed at once on the reading
    // thread: each value's bytes one after the other, and each length, -1 for a null.
    struct Block {
        std::vector<char> values;
        std::vector<int> lengths;
        std::size_t rows = 0;

        void clear()
        {
            values.clear();
            lengths.clear();
            rows = 0;
        }
    };

    void begin(const pg_result* result);
    void copyRow(const pg_result* row, Block& block);
    void storeBlock(int slot);
    static void store(RecordColumn& column, Form form, const char* value, int length);

    pg_conn* conn_;
    bool decimalsAsFloat_;
    const std::atomic<bool>& cancelRequested_;
    std::unique_ptr<RecordSet> records_;
    std::vector<Form> forms_;
    Block blocks_[Slots];
};
