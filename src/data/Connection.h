#pragma once

#include <QObject>
#include <QString>
#include <memory>

class OdbcConnection;

// One connection to a server, opened from the logon's connection string. Used by one thread at
// a time; cancel() alone may be called from another thread.
class Connection : public QObject {
    Q_OBJECT

public:
    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    void setConnectionString(const QString& text);
    QString connectionString() const { return connectionString_; }

    // Seconds; 0 means no limit.
    void setConnectionTimeout(int seconds) { connectionTimeout_ = seconds; }
    int connectionTimeout() const { return connectionTimeout_; }
    void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }
    int commandTimeout() const { return commandTimeout_; }

    // Throws DataError (nothing to connect with) or DatabaseError (refused, unreachable, timed out).
    void open();
    void close();
    // False after close(), and once the driver has reported the connection dead after a failure.
    bool connected() const;

    // Cancels the statement running on this connection; safe from any thread.
    void cancel();

    // The ODBC driver manager's version without leading zeros, e.g. "3.52.2.3".
    static QString driverManagerVersion();

    // For the statements of the data layer.
    OdbcConnection& odbc() { return *odbc_; }
    // Asks the driver whether a failure has killed the connection.
    void checkAlive();
    // Makes a round trip with a trivial statement; a connection that cannot make it (its server has
    // gone, or its session was ended) is closed, so that connected() is false and open() starts
    // afresh. The driver alone cannot tell: it learns of a lost server only when it next talks to it.
    void closeIfServerGone();

Q_SIGNALS:
    void afterConnect();

private:
    QString connectionString_;
    int connectionTimeout_ = 15;
    int commandTimeout_ = 30;
    std::unique_ptr<OdbcConnection> odbc_;
};
