#pragma once

#include "data/connection/SqlSyntax.h"

#include <QString>
#include <memory>

class RecordSet;

// A session with a server through one client library: ODBC for every driver, or the server's own
// library where the data source allows it. Used by one thread at a time; cancel() alone may come
// from another thread.
class DriverConnection {
public:
    virtual ~DriverConnection() = default;

    virtual void disconnect() = 0;
    virtual bool isOpen() const = 0;
    // Whether a failure has killed the connection.
    virtual bool isDead() const = 0;

    // Runs the batch, walks past row counts and notices to its first result that has columns and
    // reads that whole; nullptr when the batch has none. queryTimeout in seconds, 0 for no limit.
    // Throws DatabaseError, or DataError when a cancel stops the reading of rows.
    virtual std::unique_ptr<RecordSet> execute(const QString& batch, int queryTimeout, bool decimalsAsFloat) = 0;

    // Any thread: interrupts the batch now running; nothing when none runs.
    virtual void cancel() = 0;

    // The server's dialect, and on PostgreSQL how the session reads strings at this moment
    // (a batch may have changed it). queryTimeout as for execute, should the session be asked.
    virtual SqlSyntax syntax(int queryTimeout) = 0;
};
