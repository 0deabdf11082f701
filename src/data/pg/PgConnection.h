#pragma once

#include "data/connection/DriverConnection.h"

#include <atomic>
#include <mutex>

struct PgLogin;
struct pg_conn;
struct pg_cancel;

// A session with PostgreSQL through libpq, for a data source whose ODBC driver is psqlODBC: the
// same fields, kinds, texts and errors as through the driver, read in single-row mode.
class PgConnection : public DriverConnection {
public:
    PgConnection() = default;
    ~PgConnection() override;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Throws DatabaseError with libpq's message and SQLSTATE 08001, as the driver reports it.
    // loginTimeout 0 waits without limit.
    void connect(const PgLogin& login, int loginTimeout);
    void disconnect() override;
    bool isOpen() const override { return conn_ != nullptr; }
    bool isDead() const override;
    std::unique_ptr<RecordSet> execute(const QString& batch, int queryTimeout, bool decimalsAsFloat) override;
    void cancel() override;
    // What the server last reported of the session: it reports every change of the setting.
    SqlSyntax syntax(int queryTimeout) override;

private:
    void applyStatementTimeout(int seconds);

    pg_conn* conn_ = nullptr;
    // The cancel request of the session, and whether a batch runs, under the mutex: cancel()
    // comes from another thread while this one may be closing the session.
    std::mutex runningMutex_;
    pg_cancel* canceller_ = nullptr;
    bool running_ = false;
    std::atomic<bool> cancelRequested_{false};
};
