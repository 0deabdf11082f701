#include "data/Connection.h"

#include "data/ConnectionString.h"
#include "data/DataErrors.h"
#include "data/odbc/OdbcConnection.h"
#include "data/odbc/OdbcEnvironment.h"
#include "data/odbc/OdbcStatement.h"

Connection::Connection(QObject* parent) : QObject(parent), odbc_(std::make_unique<OdbcConnection>()) {}

Connection::~Connection() = default;

void Connection::setConnectionString(const QString& text)
{
    connectionString_ = text;
}

void Connection::open()
{
    const OdbcEnvironment& environment = OdbcEnvironment::instance();
    const QString odbcString = TranslateToOdbc(ParseConnectionString(connectionString_), environment.dataSources(),
                                               environment.drivers());
    odbc_->connect(odbcString, connectionTimeout_);
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

void Connection::closeIfServerGone()
{
    if (!odbc_->isOpen())
        return;
    try {
        OdbcStatement probe(*odbc_);
        probe.setQueryTimeout(commandTimeout_);
        probe.executeToFirstResult(QStringLiteral("select 1"));
    } catch (const DatabaseError&) {
        odbc_->disconnect();
    }
}

void Connection::cancel()
{
    odbc_->cancel();
}

QString Connection::driverManagerVersion()
{
    return OdbcEnvironment::instance().driverManagerVersion();
}
