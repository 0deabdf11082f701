#pragma once

#include "data/connection/SqlSyntax.h"

#include <QObject>
#include <QString>
#include <memory>

class DriverConnection;
class DriverTask;
class RecordSet;

// One connection to a server, opened from the logon's connection string: through ODBC, or through
// libpq for a data source whose driver is psqlODBC, which reads a result several times as fast and
// gives the same fields, texts and errors. Used by one thread at a time; cancel() alone may be
// called from another thread.
class Connection : public QObject {
    Q_OBJECT

public:
    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    void setConnectionString(const QString& text);
    QString connectionString() const { return connectionString_; }

    // ODBC even for a psqlODBC data source (for comparing the two); takes effect at the next open.
    void setOdbcOnly(bool on) { odbcOnly_ = on; }
    bool odbcOnly() const { return odbcOnly_; }
    // Whether the open connection reads through libpq rather than ODBC.
    bool readsNatively() const;

    // Seconds; 0 means no limit.
    void setConnectionTimeout(int seconds) { connectionTimeout_ = seconds; }
    int connectionTimeout() const { return connectionTimeout_; }
    void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }
    int commandTimeout() const { return commandTimeout_; }

    // Throws DataError (nothing to connect with) or DatabaseError (refused, unreachable, timed out).
    void open();
    // open() in two halves, for a caller that connects on another thread under a deadline of its
    // own: the task connects a driver connection that it holds; takeOver() adopts it on this
    // connection's thread once the task has run, and emits afterConnect. Throws DataError when
    // the connection string cannot be translated.
    std::shared_ptr<DriverTask> openTask() const;
    void takeOver(DriverTask& finishedOpen);
    void close();
    // False after close(), and once the driver has reported the connection dead after a failure.
    bool connected() const;

    // Cancels the statement running on this connection; safe from any thread.
    void cancel();

    // The ODBC driver manager's version without leading zeros, e.g. "3.52.2.3".
    static QString driverManagerVersion();

    // Runs a batch under the command time-out and reads its first result set whole; nullptr when
    // the batch has none. Throws DatabaseError, or DataError when cancelled while reading rows.
    std::unique_ptr<RecordSet> execute(const QString& batch, bool decimalsAsFloat);
    // How the server of the open session reads a batch now: on PostgreSQL through ODBC the session
    // is asked, under the command time-out.
    SqlSyntax syntax();
    // Asks the driver whether a failure has killed the connection.
    void checkAlive();
    // A round trip with a trivial statement, as a task that holds the driver connection: whether
    // the server still answers. The driver alone cannot tell: it learns of a lost server (or an
    // ended session) only when it next talks to it.
    std::shared_ptr<DriverTask> checkTask() const;
    // Lets go of the driver connection without talking to the driver: a task still using it keeps
    // it until it returns. connected() is false afterwards.
    void abandon();

Q_SIGNALS:
    void afterConnect();

private:
    QString connectionString_;
    int connectionTimeout_ = 15;
    int commandTimeout_ = 30;
    bool odbcOnly_ = false;
    // Shared with a check task that may outlive this object's hold on it.
    std::shared_ptr<DriverConnection> driver_;
};
