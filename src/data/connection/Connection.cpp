#include "data/connection/Connection.h"

#include "data/connection/ConnectionString.h"
#include "data/DataErrors.h"
#include "data/connection/DriverTask.h"
#include "data/records/RecordSet.h"
#include "data/odbc/OdbcConnection.h"
#include "data/odbc/OdbcEnvironment.h"
#include "data/pg/PgConnection.h"
#include "data/pg/PgLogin.h"

namespace {

class OpenTask : public DriverTask {
public:
    // The driver manager has no cancel for a connect, nor libpq for a blocking one; the login
    // time-out and the caller's deadline bound it.
    void cancel() override {}

    virtual std::shared_ptr<DriverConnection> result() const = 0;
};

// Connects a new session of one reading path: Driver::connect(login, login time-out).
template <typename Driver, typename Login>
class ConnectTask : public OpenTask {
public:
    ConnectTask(Login login, int loginTimeout)
        : login_(std::move(login)), loginTimeout_(loginTimeout), driver_(std::make_shared<Driver>())
    {
    }

    void run() override { driver_->connect(login_, loginTimeout_); }
    std::shared_ptr<DriverConnection> result() const override { return driver_; }

private:
    Login login_;
    int loginTimeout_;
    std::shared_ptr<Driver> driver_;
};

class CheckTask : public DriverTask {
public:
    CheckTask(std::shared_ptr<DriverConnection> driver, int queryTimeout)
        : driver_(std::move(driver)), queryTimeout_(queryTimeout)
    {
    }

    void run() override { driver_->execute(QStringLiteral("select 1"), queryTimeout_, false); }
    void cancel() override { driver_->cancel(); }

private:
    std::shared_ptr<DriverConnection> driver_;
    int queryTimeout_;
};

} // namespace

Connection::Connection(QObject* parent) : QObject(parent), driver_(std::make_shared<OdbcConnection>()) {}

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
    const ConnectionSettings settings = ParseConnectionString(connectionString_);
    const QList<OdbcDataSource> dataSources = environment.dataSources();
    // Translated in any case: what the driver could not be given is refused on either path.
    QString odbcString = TranslateToOdbc(settings, dataSources, environment.drivers());
    if (!odbcOnly_) {
        if (std::optional<PgLogin> login = NativeLogin(settings, dataSources, &OdbcEnvironment::DataSourceSetting))
            return std::make_shared<ConnectTask<PgConnection, PgLogin>>(std::move(*login), connectionTimeout_);
    }
    return std::make_shared<ConnectTask<OdbcConnection, QString>>(std::move(odbcString), connectionTimeout_);
}

void Connection::takeOver(DriverTask& finishedOpen)
{
    driver_ = static_cast<OpenTask&>(finishedOpen).result();
    Q_EMIT afterConnect();
}

void Connection::close()
{
    driver_->disconnect();
}

bool Connection::connected() const
{
    return driver_->isOpen();
}

bool Connection::readsNatively() const
{
    return dynamic_cast<const PgConnection*>(driver_.get()) != nullptr && driver_->isOpen();
}

std::unique_ptr<RecordSet> Connection::execute(const QString& batch, bool decimalsAsFloat)
{
    return driver_->execute(batch, commandTimeout_, decimalsAsFloat);
}

SqlSyntax Connection::syntax()
{
    return driver_->syntax(commandTimeout_);
}

void Connection::checkAlive()
{
    // A dead connection is closed here, so that connected() tells the truth and the next open()
    // starts afresh.
    if (driver_->isOpen() && driver_->isDead())
        driver_->disconnect();
}

std::shared_ptr<DriverTask> Connection::checkTask() const
{
    return std::make_shared<CheckTask>(driver_, commandTimeout_);
}

void Connection::abandon()
{
    driver_ = std::make_shared<OdbcConnection>();
}

void Connection::cancel()
{
    driver_->cancel();
}

QString Connection::driverManagerVersion()
{
    return OdbcEnvironment::instance().driverManagerVersion();
}
