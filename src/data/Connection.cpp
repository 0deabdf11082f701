#include "data/Connection.h"

#include "data/ConnectionString.h"
#include "data/DataErrors.h"
#include "data/DriverTask.h"
#include "data/odbc/OdbcConnection.h"
#include "data/odbc/OdbcEnvironment.h"
#include "data/odbc/OdbcStatement.h"

namespace {

class OpenTask : public DriverTask {
public:
    OpenTask(QString odbcString, int loginTimeout)
        : odbcString_(std::move(odbcString)), loginTimeout_(loginTimeout), odbc_(std::make_shared<OdbcConnection>())
    {
    }

    void run() override { odbc_->connect(odbcString_, loginTimeout_); }
    // The driver manager has no cancel for a connect; the login time-out and the caller's
    // deadline bound it.
    void cancel() override {}

    std::shared_ptr<OdbcConnection> result() const { return odbc_; }

private:
    QString odbcString_;
    int loginTimeout_;
    std::shared_ptr<OdbcConnection> odbc_;
};

class CheckTask : public DriverTask {
public:
    CheckTask(std::shared_ptr<OdbcConnection> odbc, int queryTimeout) : odbc_(std::move(odbc)), queryTimeout_(queryTimeout) {}

    void run() override
    {
        OdbcStatement probe(*odbc_);
        probe.setQueryTimeout(queryTimeout_);
        probe.executeToFirstResult(QStringLiteral("select 1"));
    }
    void cancel() override { odbc_->cancel(); }

private:
    std::shared_ptr<OdbcConnection> odbc_;
    int queryTimeout_;
};

} // namespace

Connection::Connection(QObject* parent) : QObject(parent), odbc_(std::make_shared<OdbcConnection>()) {}

Connection::~Connection() = default;

void Connection::setConnectionString(const QString& text)
{
    connectionString_ = text;
}

void Connection::open()
{
    const std::shared_ptr<DriverTask> task = openTask();
    task->run();
    takeOver(*task);
}

std::shared_ptr<DriverTask> Connection::openTask() const
{
    const OdbcEnvironment& environment = OdbcEnvironment::instance();
    return std::make_shared<OpenTask>(
        TranslateToOdbc(ParseConnectionString(connectionString_), environment.dataSources(), environment.drivers()),
        connectionTimeout_);
}

void Connection::takeOver(DriverTask& finishedOpen)
{
    odbc_ = static_cast<OpenTask&>(finishedOpen).result();
    Q_EMIT afterConnect();
}

void Connection::close()
{
    odbc_->disconnect();
}

bool Connection::connected() const
{
    return odbc_->isOpen();
}

void Connection::checkAlive()
{
    // A dead connection is closed here, so that connected() tells the truth and the next open()
    // starts afresh.
    if (odbc_->isOpen() && odbc_->isDead())
        odbc_->disconnect();
}

std::shared_ptr<DriverTask> Connection::checkTask() const
{
    return std::make_shared<CheckTask>(odbc_, commandTimeout_);
}

void Connection::abandon()
{
    odbc_ = std::make_shared<OdbcConnection>();
}

void Connection::cancel()
{
    odbc_->cancel();
}

QString Connection::driverManagerVersion()
{
    return OdbcEnvironment::instance().driverManagerVersion();
}
