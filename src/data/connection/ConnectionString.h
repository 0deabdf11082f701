#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// What the logon's ADO-style connection string says, key by key.
struct ConnectionSettings {
    QString provider;
    QString dataSource;
    QString userId;
    QString password;
    QString applicationName;
    QString initialCatalog;
    bool integratedSecurity = false;
    bool persistSecurityInfo = false;
    // "Use Encryption for Data": the login and the whole session must be encrypted. Without it the
    // login is encrypted wherever the server can encrypt.
    bool encrypt = false;
};

// An ODBC data source configured on the machine, with the name of the driver it uses.
struct OdbcDataSource {
    QString name;
    QString driver;
    // The FreeTDS protocol version the data source sets itself (its TDS_Version); empty when it
    // leaves the choice to FreeTDS, and for other drivers.
    QString tdsVersion = {};
    // The encryption the data source sets itself (FreeTDS's Encryption, the vendor's drivers'
    // Encrypt); empty when it sets none, and for other drivers.
    QString encryption = {};
};

// The longest data source name the ODBC driver managers open by name (SQL_MAX_DSN_LENGTH).
inline constexpr qsizetype DriverManagerDsnLimit = 32;

// The drivers tried, best first, when Data Source names no ODBC data source.
inline const QStringList SqlServerDriverNames = {
    QStringLiteral("ODBC Driver 18 for SQL Server"),
    QStringLiteral("ODBC Driver 17 for SQL Server"),
    QStringLiteral("FreeTDS"),
};

// "key=value" pairs separated by ";"; keys are trimmed and returned as written, values may be
// enclosed in double or single quotes (a doubled quote inside stands for one).
QList<std::pair<QString, QString>> SplitConnectionString(const QString& text);

// Keys compared without regard to case; unknown keys are ignored.
ConnectionSettings ParseConnectionString(const QString& text);

// The ODBC connection string for these settings: a DSN when Data Source names one of
// dataSources (compared without regard to case), else a DSN-less SQL Server connection with the
// best of SqlServerDriverNames found in drivers. The application name goes to the drivers that
// know a keyword for it. A SQL Server driver is asked to encrypt the login where the server can
// (FreeTDS's "request"; the vendor's drivers always encrypt and trust the server's certificate only
// where the data source says so), and the whole session when settings.encrypt asks; a data source
// that sets its own encryption keeps it unless settings.encrypt asks for more. Every value is
// written so that the chosen driver reads it as given (see OdbcDialect); throws DataError when no
// driver fits or when a value cannot be carried by it.
QString TranslateToOdbc(const ConnectionSettings& settings, const QList<OdbcDataSource>& dataSources,
                        const QStringList& drivers);
