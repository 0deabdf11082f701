#include "data/odbc/OdbcConnection.h"

#include "data/DataErrors.h"
#include "data/records/RecordSet.h"
#include "data/odbc/OdbcApi.h"
#include "data/odbc/OdbcDiagnostics.h"
#include "data/odbc/OdbcEnvironment.h"
#include "data/odbc/OdbcStatement.h"

OdbcConnection::OdbcConnection()
{
    SQLHDBC dbc = SQL_NULL_HDBC;
    CheckOdbc(SQLAllocHandle(SQL_HANDLE_DBC, OdbcEnvironment::instance().handle(), &dbc), SQL_HANDLE_ENV,
              OdbcEnvironment::instance().handle(), "SQLAllocHandle");
    dbc_ = dbc;
}

OdbcConnection::~OdbcConnection()
{
    disconnect();
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

void OdbcConnection::connect(const QString& odbcConnectionString, int loginTimeout)
{
    disconnect();
    // Without a login time-out a server that accepts TCP and never answers holds the caller for ever.
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(qMax(0, loginTimeout))), 0);
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, const_cast<SQLWCHAR*>(ToSqlWide(odbcConnectionString)),
                                           SQLSMALLINT(odbcConnectionString.size()), nullptr, 0, &outLength,
                                           SQL_DRIVER_NOPROMPT);
    CheckOdbc(rc, SQL_HANDLE_DBC, dbc_, "SQLDriverConnect");
    open_ = true;
    SQLUINTEGER extensions = 0;
    if (SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_GETDATA_EXTENSIONS, &extensions, sizeof(extensions), nullptr)))
        getDataAfterBlockFetch_ = (extensions & SQL_GD_BLOCK) && (extensions & SQL_GD_BOUND);
    SQLWCHAR dbms[128] = {};
    SQLSMALLINT dbmsLength = 0;
    dialect_ = SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_DBMS_NAME, dbms, sizeof(dbms), &dbmsLength))
                   ? SqlDialectOfDbms(FromSqlWide(dbms, dbmsLength / qsizetype(sizeof(SQLWCHAR))))
                   : SqlDialect::Other;
}

std::unique_ptr<RecordSet> OdbcConnection::execute(const QString& batch, int queryTimeout, bool decimalsAsFloat)
{
    OdbcStatement statement(*this);
    statement.setQueryTimeout(queryTimeout);
    if (!statement.executeToFirstResult(batch))
        return nullptr;
    return statement.fetchAll(decimalsAsFloat);
}

SqlSyntax OdbcConnection::syntax(int queryTimeout)
{
    SqlSyntax syntax{dialect_, std::nullopt};
    if (dialect_ != SqlDialect::PostgreSql || !open_)
        return syntax;
    // psqlODBC follows the setting for itself but does not tell: the session is asked each time,
    // since a command may have changed it.
    try {
        const std::unique_ptr<RecordSet> answer =
            execute(QStringLiteral("show standard_conforming_strings"), queryTimeout, false);
        const QString setting = answer && answer->rowCount() == 1 ? answer->displayText(0, 0) : QString();
        if (setting == QStringLiteral("on") || setting == QStringLiteral("off"))
            syntax.standardStrings = setting == QStringLiteral("on");
    } catch (const QuillonError&) {
        // A session that cannot answer (one in a failed transaction) leaves the setting unknown.
    }
    return syntax;
}

void OdbcConnection::disconnect()
{
    if (!open_)
        return;
    // A connection left in a transaction refuses to disconnect; roll it back, there is no work to keep.
    if (!SQL_SUCCEEDED(SQLDisconnect(dbc_))) {
        SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLDisconnect(dbc_);
    }
    open_ = false;
}

bool OdbcConnection::isDead() const
{
    if (!open_)
        return true;
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)))
        return false;
    return dead == SQL_CD_TRUE;
}

void OdbcConnection::beginStatement(void* statement)
{
    std::lock_guard lock(runningMutex_);
    running_ = statement;
    cancelRequested_ = false;
}

void OdbcConnection::endStatement()
{
    std::lock_guard lock(runningMutex_);
    running_ = nullptr;
}

void OdbcConnection::cancel()
{
    // The lock keeps the statement handle alive while SQLCancel uses it.
    std::lock_guard lock(runningMutex_);
    if (running_ == nullptr)
        return;
    cancelRequested_ = true;
    SQLCancel(running_);
}
