#include "data/odbc/OdbcStatement.h"

#include "data/records/RecordSet.h"
#include "data/odbc/OdbcApi.h"
#include "data/odbc/OdbcBlockReader.h"
#include "data/odbc/OdbcConnection.h"
#include "data/odbc/OdbcDiagnostics.h"

OdbcStatement::OdbcStatement(OdbcConnection& connection) : connection_(connection)
{
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    CheckOdbc(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &stmt), SQL_HANDLE_DBC, connection.handle(),
              "SQLAllocHandle");
    stmt_ = stmt;
    connection_.beginStatement(stmt_);
}

OdbcStatement::~OdbcStatement()
{
    connection_.endStatement();
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void OdbcStatement::setQueryTimeout(int seconds)
{
    SQLSetStmtAttrW(stmt_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(qMax(0, seconds))), 0);
}

bool OdbcStatement::executeToFirstResult(const QString& batch)
{
    SQLRETURN rc = SQLExecDirectW(stmt_, const_cast<SQLWCHAR*>(ToSqlWide(batch)), SQLINTEGER(batch.size()));
    // SQL_NO_DATA: the first statement changed no rows; later ones may still return some.
    while (true) {
        if (rc != SQL_NO_DATA) {
            CheckOdbc(rc, SQL_HANDLE_STMT, stmt_, "SQLExecDirect");
            SQLSMALLINT columns = 0;
            CheckOdbc(SQLNumResultCols(stmt_, &columns), SQL_HANDLE_STMT, stmt_, "SQLNumResultCols");
            if (columns > 0)
                return true;
        }
        rc = SQLMoreResults(stmt_);
        if (rc == SQL_NO_DATA)
            return false;
    }
}

std::unique_ptr<RecordSet> OdbcStatement::fetchAll(bool decimalsAsFloat)
{
    OdbcBlockReader reader(stmt_, connection_, decimalsAsFloat);
    std::unique_ptr<RecordSet> records = reader.readAll();
    // Later results of the batch are dropped with the cursor, as a client cursor leaves them.
    SQLFreeStmt(stmt_, SQL_CLOSE);
    return records;
}
