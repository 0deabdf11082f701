#pragma once

// The throwaway databases that scripts/testdb.sh starts for the tests that need the "database"
// fixture: names, login and a way to prepare data through psql, read from <QUILLON_TEST_DB_DIR>/env.

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestDatabase {

inline QString dir()
{
    return qEnvironmentVariable("QUILLON_TEST_DB_DIR");
}

// A KEY='value' line of the env file; empty when the fixture did not run.
inline QString value(const QString& key)
{
    static const QHash<QString, QString> values = [] {
        QHash<QString, QString> result;
        QFile file(dir() + QStringLiteral("/env"));
        if (!file.open(QIODevice::ReadOnly))
            return result;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq <= 0)
                continue;
            QString v = line.mid(eq + 1).trimmed();
            if (v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\''))
                v = v.mid(1, v.size() - 2);
            result.insert(line.left(eq).trimmed(), v);
        }
        return result;
    }();
    return values.value(key);
}

inline bool available() { return !value(QStringLiteral("PG_DSN")).isEmpty(); }
inline QString pgDsn() { return value(QStringLiteral("PG_DSN")); }
inline QString sqliteDsn() { return value(QStringLiteral("SQLITE_DSN")); }
inline QString user() { return value(QStringLiteral("PG_USER")); }
inline QString password() { return value(QStringLiteral("PG_PASSWORD")); }
inline int pgPort() { return value(QStringLiteral("PG_PORT")).toInt(); }

// The SQL Server stand-in of the "mssql" fixture (tests/tds, a test fixture), reached through FreeTDS.
inline bool mssqlAvailable() { return !value(QStringLiteral("MSSQL_DSN")).isEmpty(); }
inline QString mssqlDsn() { return value(QStringLiteral("MSSQL_DSN")); }
inline int mssqlPort() { return value(QStringLiteral("MSSQL_PORT")).toInt(); }
// The stand-in's server name without a data source: host and port, as FreeTDS reads them.
inline QString mssqlServer(int port = mssqlPort()) { return QStringLiteral("127.0.0.1,%1").arg(port); }
inline QString cyrillicUser() { return value(QStringLiteral("MSSQL_CYRILLIC_USER")); }
inline QString cyrillicPassword() { return value(QStringLiteral("MSSQL_CYRILLIC_PASSWORD")); }

// The logon's form of connection string for a SQL Server login, values quoted. Tests that end the
// program's sessions find them by the application name.
inline QString loginConnectionString(const QString& server, const QString& login, const QString& secret,
                                     const QString& application = QStringLiteral("Quillon"))
{
    const auto quoted = [](QString text) { return u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"'; };
    return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=%1;User ID=%2"
                          ";Application Name=%4;Password=%3")
        .arg(quoted(server), quoted(login), quoted(secret), quoted(application));
}

// The PostgreSQL data source; a login other than user() has the same password.
inline QString pgConnectionString(const QString& application = QStringLiteral("Quillon"), const QString& login = QString())
{
    return loginConnectionString(pgDsn(), login.isEmpty() ? user() : login, password(), application);
}

// The stand-in through its data source, with the test database's own login.
inline QString mssqlConnectionString(const QString& application = QStringLiteral("Quillon"))
{
    return loginConnectionString(mssqlDsn(), user(), password(), application);
}

inline QString sqliteConnectionString()
{
    return QStringLiteral("Data Source=%1").arg(sqliteDsn());
}

// Runs SQL as the superuser on the test database through psql; returns its unaligned output.
// On failure returns false and puts psql's message into error.
inline bool psql(const QString& sql, QString* output = nullptr, QString* error = nullptr)
{
    QProcess process;
    process.start(value(QStringLiteral("PG_BIN")) + QStringLiteral("/psql"),
                  {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-At"), QStringLiteral("-v"),
                   QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), value(QStringLiteral("PG_SOCKET_DIR")),
                   QStringLiteral("-p"), value(QStringLiteral("PG_PORT")), QStringLiteral("-U"),
                   value(QStringLiteral("PG_SUPERUSER")), QStringLiteral("-d"), value(QStringLiteral("PG_DATABASE")),
                   QStringLiteral("-c"), sql});
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        if (error)
            *error = QStringLiteral("psql did not finish");
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (error)
        *error = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A function name() that every login may call and that records each call in the table
// name_calls, emptied here: the proof that a value ran nothing is that the count stays 0.
inline bool createCanary(const QString& name, QString* error = nullptr)
{
    return psql(QStringLiteral("drop table if exists %1_calls; create table %1_calls(at timestamptz);"
                               "grant insert on %1_calls to public;"
                               "create or replace function %1() returns int language sql"
                               " as $$ insert into %1_calls values (now()) returning 1 $$;")
                    .arg(name),
                nullptr, error);
}

inline int canaryCalls(const QString& name)
{
    QString count;
    psql(QStringLiteral("select count(*) from %1_calls").arg(name), &count);
    return count.toInt();
}

} // namespace TestDatabase
