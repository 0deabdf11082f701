// The floor of the ODBC path: one statement read to its end through a data source with the
// bindings the data set uses (numbers as 64-bit integers or doubles, date-times as structures,
// everything else as UTF-16 text, blocks of up to 1,000 rows bound by column), and nothing stored.
//   quillon_bench_odbc CONNECTION-STRING SQL      prints the number of rows read
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<SQLWCHAR> Wide(const char* text)
{
    std::vector<SQLWCHAR> wide;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c)
        wide.push_back(SQLWCHAR(*c));
    wide.push_back(0);
    return wide;
}

bool Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what)
{
    if (SQL_SUCCEEDED(rc))
        return true;
    SQLCHAR state[6] = {};
    SQLCHAR message[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRecA(type, handle, 1, state, &native, message, sizeof message, &length);
    std::fprintf(stderr, "%s failed: %s %s\n", what, reinterpret_cast<char*>(state), reinterpret_cast<char*>(message));
    return false;
}

struct Column {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN width = 0;
    std::vector<char> data;
    std::vector<SQLLEN> indicators;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillon_bench_odbc CONNECTION-STRING SQL\n");
        return 2;
    }
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::vector<SQLWCHAR> connection = Wide(argv[1]);
    SQLSMALLINT outLength = 0;
    if (!Check(SQLDriverConnectW(dbc, nullptr, connection.data(), SQL_NTS, nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT),
               SQL_HANDLE_DBC, dbc, "SQLDriverConnect"))
        return 1;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    std::vector<SQLWCHAR> sql = Wide(argv[2]);
    if (!Check(SQLExecDirectW(stmt, sql.data(), SQL_NTS), SQL_HANDLE_STMT, stmt, "SQLExecDirect"))
        return 1;

    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt, &count);
    constexpr SQLULEN BlockRows = 1000;
    std::vector<Column> columns(static_cast<std::size_t>(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, sqlType = 0, decimals = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeColW(stmt, SQLUSMALLINT(i + 1), name, 256, &nameLength, &sqlType, &size, &decimals, &nullable);
        Column& c = columns[std::size_t(i)];
        switch (sqlType) {
        case SQL_BIT:
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            c.cType = SQL_C_SBIGINT;
            c.width = sizeof(SQLBIGINT);
            break;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            c.cType = SQL_C_DOUBLE;
            c.width = sizeof(double);
            break;
        case SQL_TYPE_TIMESTAMP:
            c.cType = SQL_C_TYPE_TIMESTAMP;
            c.width = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        case SQL_TYPE_DATE:
            c.cType = SQL_C_TYPE_DATE;
            c.width = sizeof(SQL_DATE_STRUCT);
            break;
        default:
            c.cType = SQL_C_WCHAR;
            c.width = SQLLEN((size == 0 || size > 4000 ? 512 : size) + 1) * SQLLEN(sizeof(SQLWCHAR));
        }
        c.data.resize(std::size_t(c.width) * BlockRows);
        c.indicators.resize(BlockRows);
    }
    SQLULEN fetched = 0;
    SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_BIND_BY_COLUMN)), 0);
    SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(BlockRows), 0);
    SQLSetStmtAttrW(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    for (SQLSMALLINT i = 0; i < count; ++i) {
        Column& c = columns[std::size_t(i)];
        SQLBindCol(stmt, SQLUSMALLINT(i + 1), c.cType, c.data.data(), c.width, c.indicators.data());
    }
    unsigned long long rows = 0;
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            break;
        if (!Check(rc, SQL_HANDLE_STMT, stmt, "SQLFetch"))
            return 1;
        rows += fetched;
    }
    std::printf("rows %llu\n", rows);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return 0;
}
