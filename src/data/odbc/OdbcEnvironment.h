#pragma once

#include "data/connection/ConnectionString.h"

#include <QString>
#include <QStringList>

// The process's one ODBC environment (ODBC 3 behaviour), created on first use.
class OdbcEnvironment {
public:
    static OdbcEnvironment& instance();

    void* handle() const { return env_; }
    QList<OdbcDataSource> dataSources() const;
    // A key of a data source's own settings (user's or system's odbc.ini); empty when not set.
    static QString DataSourceSetting(const QString& dataSource, const char* key);
    QStringList drivers() const;
    QString driverManagerVersion() const;

    OdbcEnvironment(const OdbcEnvironment&) = delete;
    OdbcEnvironment& operator=(const OdbcEnvironment&) = delete;

private:
    OdbcEnvironment();
    ~OdbcEnvironment();

    void* env_ = nullptr;
};
