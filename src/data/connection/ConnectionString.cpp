#include "data/connection/ConnectionString.h"

#include "data/DataErrors.h"
#include "data/connection/OdbcStringBuilder.h"

namespace {

bool IsVendorSqlServerDriver(const QString& driver)
{
    return OdbcDialectOf(driver) != OdbcDialect::FreeTds && driver.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive);
}

bool IsSqlServerDriver(const QString& driver)
{
    return OdbcDialectOf(driver) == OdbcDialect::FreeTds || IsVendorSqlServerDriver(driver);
}

// The login travels encrypted wherever the server can encrypt, and the whole session where the
// settings require it. dataSourceSets is the data source's own setting, which stands unless more
// is required. FreeTDS "request"s encryption and goes on in the clear with a server that has none;
// the vendor's drivers encrypt, and check the server's certificate unless the data source trusts it.
void AddEncryption(OdbcStringBuilder& builder, const QString& driver, const ConnectionSettings& settings,
                   const QString& dataSourceSets)
{
    if (!dataSourceSets.isEmpty() && !settings.encrypt)
        return;
    if (builder.dialect() == OdbcDialect::FreeTds)
        builder.add(QStringLiteral("Encryption"), QString(), settings.encrypt ? QStringLiteral("require") : QStringLiteral("request"));
    else if (IsVendorSqlServerDriver(driver))
        builder.add(QStringLiteral("Encrypt"), QString(), QStringLiteral("yes"));
}

// An option of libpq's conninfo text, which psqlODBC passes on from pqopt. A quoted value
// escapes ' and a backslash and may hold anything else.
QString LibpqOption(const QString& keyword, const QString& value)
{
    QString quoted = value;
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\")).replace(QStringLiteral("'"), QStringLiteral("\\'"));
    return keyword + QStringLiteral("='") + quoted + u'\'';
}

bool IsTrue(const QString& value)
{
    const QString v = value.trimmed();
    return v.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0
        || v.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0
        || v.compare(QStringLiteral("sspi"), Qt::CaseInsensitive) == 0 || v == QStringLiteral("1");
}

// Returns the libpq options the login needs as well. psqlODBC hands UID to the server with any
// braces it needed, so a name that needs them goes as libpq's own user option instead, which
// pqopt carries whatever it holds.
QStringList AddLogin(OdbcStringBuilder& builder, const ConnectionSettings& settings)
{
    QStringList libpqOptions;
    if (settings.integratedSecurity)
        return libpqOptions;
    const QString uid = QStringLiteral("UID");
    if (builder.dialect() == OdbcDialect::PsqlOdbc && !builder.canCarry(uid, settings.userId))
        libpqOptions.append(LibpqOption(QStringLiteral("user"), settings.userId));
    else if (!settings.userId.isEmpty())
        builder.add(uid, QStringLiteral("user name"), settings.userId);
    if (!settings.userId.isEmpty() || !settings.password.isEmpty())
        builder.add(QStringLiteral("PWD"), QStringLiteral("password"), settings.password);
    return libpqOptions;
}

} // namespace

QList<std::pair<QString, QString>> SplitConnectionString(const QString& text)
{
    QList<std::pair<QString, QString>> pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A part without "=" carries nothing; skip it.
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        qsizetype j = eq + 1;
        while (j < n && text[j] == u' ')
            ++j;
        QString value;
        if (j < n && (text[j] == u'"' || text[j] == u'\'')) {
            const QChar quote = text[j++];
            while (j < n) {
                if (text[j] == quote) {
                    if (j + 1 < n && text[j + 1] == quote) {
                        value += quote;
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text[j++];
            }
            const qsizetype end = text.indexOf(u';', j);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype end = text.indexOf(u';', j);
            value = text.mid(j, (end < 0 ? n : end) - j).trimmed();
            i = end < 0 ? n : end + 1;
        }
        if (!key.isEmpty())
            pairs.append({key, value});
    }
    return pairs;
}

ConnectionSettings ParseConnectionString(const QString& text)
{
    ConnectionSettings s;
    for (const auto& [key, value] : SplitConnectionString(text)) {
        const QString k = key.toLower();
        if (k == QStringLiteral("provider"))
            s.provider = value;
        else if (k == QStringLiteral("data source") || k == QStringLiteral("server"))
            s.dataSource = value;
        else if (k == QStringLiteral("user id") || k == QStringLiteral("uid"))
            s.userId = value;
        else if (k == QStringLiteral("password") || k == QStringLiteral("pwd"))
            s.password = value;
        else if (k == QStringLiteral("application name"))
            s.applicationName = value;
        else if (k == QStringLiteral("initial catalog") || k == QStringLiteral("database"))
            s.initialCatalog = value;
        else if (k == QStringLiteral("integrated security"))
            s.integratedSecurity = IsTrue(value);
        else if (k == QStringLiteral("persist security info"))
            s.persistSecurityInfo = IsTrue(value);
        else if (k == QStringLiteral("use encryption for data") || k == QStringLiteral("encrypt"))
            s.encrypt = IsTrue(value);
    }
    return s;
}

QString TranslateToOdbc(const ConnectionSettings& settings, const QList<OdbcDataSource>& dataSources,
                        const QStringList& drivers)
{
    for (const OdbcDataSource& dsn : dataSources) {
        if (dsn.name.compare(settings.dataSource, Qt::CaseInsensitive) != 0)
            continue;
        OdbcStringBuilder builder(OdbcDialectOf(dsn.driver));
        // The driver manager opens no data source by a longer name, but drivers read the
        // settings of any data source they are named: the driver manager gets the driver instead.
        if (dsn.name.size() > DriverManagerDsnLimit)
            builder.add(QStringLiteral("DRIVER"), QStringLiteral("driver name"), dsn.driver);
        builder.add(QStringLiteral("DSN"), QStringLiteral("data source name"), dsn.name);
        QStringList libpqOptions = AddLogin(builder, settings);
        if (!settings.initialCatalog.isEmpty())
            builder.add(QStringLiteral("DATABASE"), QStringLiteral("database name"), settings.initialCatalog);
        // So that the program's sessions can be told apart on the server, as with a DSN-less login.
        const QString& app = settings.applicationName;
        if (!app.isEmpty() && IsSqlServerDriver(dsn.driver))
            builder.add(QStringLiteral("APP"), QStringLiteral("application name"), app);
        if (!app.isEmpty() && builder.dialect() == OdbcDialect::PsqlOdbc)
            libpqOptions.append(LibpqOption(QStringLiteral("application_name"), app));
        if (!libpqOptions.isEmpty())
            builder.addBraced(QStringLiteral("pqopt"), QStringLiteral("libpq option"), libpqOptions.join(u' '));
        // A data source that leaves the protocol to FreeTDS (Debian's "tds version = auto") gets
        // the version the DSN-less path uses: with the automatic choice a silent server holds the
        // login for ever, login time-out or not.
        if (builder.dialect() == OdbcDialect::FreeTds && dsn.tdsVersion.isEmpty())
            builder.add(QStringLiteral("TDS_Version"), QString(), QStringLiteral("7.3"));
        AddEncryption(builder, dsn.driver, settings, dsn.encryption);
        return builder.text();
    }

    QString driver;
    for (const QString& wanted : SqlServerDriverNames) {
        for (const QString& installed : drivers) {
            if (installed.compare(wanted, Qt::CaseInsensitive) == 0) {
                driver = installed;
                break;
            }
        }
        if (!driver.isEmpty())
            break;
    }
    if (driver.isEmpty())
        throw DataError(QStringLiteral("No ODBC data source is named \"%1\" and no ODBC driver for SQL Server "
                                       "is installed (looked for \"%2\")")
                            .arg(settings.dataSource, SqlServerDriverNames.join(QStringLiteral("\", \""))));

    OdbcStringBuilder builder(OdbcDialectOf(driver));
    builder.addBraced(QStringLiteral("DRIVER"), QStringLiteral("driver name"), driver);
    builder.add(QStringLiteral("SERVER"), QStringLiteral("server name"), settings.dataSource);
    if (settings.integratedSecurity)
        builder.add(QStringLiteral("Trusted_Connection"), QString(), QStringLiteral("yes"));
    AddLogin(builder, settings);
    if (!settings.initialCatalog.isEmpty())
        builder.add(QStringLiteral("DATABASE"), QStringLiteral("database name"), settings.initialCatalog);
    if (!settings.applicationName.isEmpty())
        builder.add(QStringLiteral("APP"), QStringLiteral("application name"), settings.applicationName);
    AddEncryption(builder, driver, settings, QString());
    if (builder.dialect() == OdbcDialect::FreeTds) {
        // With its automatic protocol choice FreeTDS retries a silent server for ever, login
        // time-out or not; 7.3 is understood by every SQL Server from 2008 on.
        builder.add(QStringLiteral("TDS_Version"), QString(), QStringLiteral("7.3"));
        builder.add(QStringLiteral("ClientCharset"), QString(), QStringLiteral("UTF-8"));
    }
    return builder.text();
}
