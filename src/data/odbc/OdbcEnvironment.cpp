#include "data/odbc/OdbcEnvironment.h"

#include "data/odbc/OdbcApi.h"
#include "data/odbc/OdbcDiagnostics.h"

#include <QStringList>

OdbcEnvironment& OdbcEnvironment::instance()
{
    static OdbcEnvironment environment;
    return environment;
}

OdbcEnvironment::OdbcEnvironment()
{
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw DataError(QStringLiteral("The ODBC driver manager could not be initialised"));
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    env_ = env;
}

OdbcEnvironment::~OdbcEnvironment()
{
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

QList<OdbcDataSource> OdbcEnvironment::dataSources() const
{
    QList<OdbcDataSource> sources;
    SQLWCHAR name[SQL_MAX_DSN_LENGTH + 1];
    SQLWCHAR description[512];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSourcesW(env_, direction, name, SQLSMALLINT(std::size(name)), &nameLength,
                                         description, SQLSMALLINT(std::size(description)), &descriptionLength))) {
        // The description of a data source is the name of its driver.
        sources.append({FromSqlWide(name, nameLength), FromSqlWide(description, descriptionLength)});
        direction = SQL_FETCH_NEXT;
    }
    return sources;
}

QStringList OdbcEnvironment::drivers() const
{
    QStringList names;
    SQLWCHAR name[512];
    SQLWCHAR attributes[2048];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDriversW(env_, direction, name, SQLSMALLINT(std::size(name)), &nameLength,
                                     attributes, SQLSMALLINT(std::size(attributes)), &attributesLength))) {
        names.append(FromSqlWide(name, nameLength));
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

QString OdbcEnvironment::driverManagerVersion() const
{
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc)))
        return QString();
    SQLWCHAR text[64] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfoW(dbc, SQL_DM_VER, text, sizeof(text), &length);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (!SQL_SUCCEEDED(rc))
        return QString();
    // "03.52.0002.0003" reads "3.52.2.3".
    QStringList parts = FromSqlWide(text, length / qsizetype(sizeof(SQLWCHAR))).split(u'.');
    for (QString& part : parts) {
        bool ok = false;
        const int number = part.toInt(&ok);
        if (ok)
            part = QString::number(number);
    }
    return parts.join(u'.');
}
