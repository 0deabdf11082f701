#pragma once

#include "data/connection/DriverConnection.h"

#include <QString>
#include <atomic>
#include <mutex>

// A connection handle of the ODBC environment, and the statement now running on it, so that
// another thread can cancel that statement: SQLCancel comes from the thread that wants the
// statement stopped while the statement's own thread may be freeing its handle, and the mutex
// keeps the handle alive for the length of the cancel.
class OdbcConnection : public DriverConnection {
public:
    OdbcConnection();
    ~OdbcConnection() override;
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Throws DatabaseError with the driver's message. loginTimeout 0 waits without limit.
    void connect(const QString& odbcConnectionString, int loginTimeout);
    void disconnect() override;
    bool isOpen() const override { return open_; }
    // Whether the driver holds the connection for dead (SQL_ATTR_CONNECTION_DEAD).
    bool isDead() const override;
    std::unique_ptr<RecordSet> execute(const QString& batch, int queryTimeout, bool decimalsAsFloat) override;
    // The dialect by the driver's name of the server; a PostgreSQL session is asked for its strings.
    SqlSyntax syntax(int queryTimeout) override;

    void* handle() const { return dbc_; }
    // Whether SQLGetData may follow a block fetch on bound columns (SQL_GD_BLOCK and SQL_GD_BOUND).
    bool getDataAfterBlockFetch() const { return getDataAfterBlockFetch_; }

    // Brackets the run of a statement; cancel() in between interrupts it.
    void beginStatement(void* statement);
    void endStatement();
    void cancel() override;
    // Whether cancel() came since beginStatement(): the fetch loop stops at the next block.
    bool cancelRequested() const { return cancelRequested_.load(); }

private:
    void* dbc_ = nullptr;
    bool open_ = false;
    bool getDataAfterBlockFetch_ = false;
    SqlDialect dialect_ = SqlDialect::Other;
    std::mutex runningMutex_;
    void* running_ = nullptr;
    std::atomic<bool> cancelRequested_{false};
};
