#pragma once

#include "data/connection/ConnectionString.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

// The libpq keywords and values of a login, in the order libpq is given them.
struct PgLogin {
    QList<std::pair<QString, QString>> options;

    QString value(const QString& keyword) const;
};

// A setting of a data source as odbc.ini holds it; empty when it is not set.
using DataSourceSettingReader = std::function<QString(const QString& dataSource, const char* key)>;

// The login that reaches, through libpq, the server a psqlODBC data source names: its host, port
// and database, the operator's user and password and the application name, with the session
// settings psqlODBC would make. nullopt when Data Source names no psqlODBC data source, or one
// with settings that only the driver applies (a stored password, statements to run on connect,
// other type mappings), which stays with ODBC so that it behaves as configured.
std::optional<PgLogin> NativeLogin(const ConnectionSettings& settings, const QList<OdbcDataSource>& dataSources,
                                   const DataSourceSettingReader& setting);
