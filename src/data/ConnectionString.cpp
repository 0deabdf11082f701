#include "data/ConnectionString.h"

#include "data/DataErrors.h"

namespace {

bool IsFreeTds(const QString& driver)
{
    return driver.compare(QStringLiteral("FreeTDS"), Qt::CaseInsensitive) == 0;
}

bool IsSqlServerDriver(const QString& driver)
{
    return IsFreeTds(driver) || driver.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive);
}

bool IsPostgreSqlDriver(const QString& driver)
{
    return driver.contains(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive);
}

// libpq reads application_name from a conninfo text, where a quoted value escapes ' and \.
QString PostgreSqlApplicationName(const QString& name)
{
    QString quoted = name;
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\")).replace(QStringLiteral("'"), QStringLiteral("\\'"));
    return QStringLiteral("application_name='") + quoted + QStringLiteral("'");
}

bool IsTrue(const QString& value)
{
    const QString v = value.trimmed();
    return v.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0
        || v.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0
        || v.compare(QStringLiteral("sspi"), Qt::CaseInsensitive) == 0 || v == QStringLiteral("1");
}

// An unbraced ";" silently drops the next keyword, so such values go in braces. FreeTDS ends a
// braced value at the first "};" and does not read "}}" as "}", so it gets no doubling and the
// one value it cannot carry is refused instead of being sent cut short.
QString OdbcValue(const QString& what, const QString& value, bool freeTds)
{
    const bool special = value.contains(u';') || value.contains(u'{') || value.contains(u'}')
        || value.startsWith(u' ') || value.endsWith(u' ');
    if (!special)
        return value;
    if (freeTds) {
        if (value.contains(QStringLiteral("};")))
            throw DataError(QStringLiteral("The FreeTDS driver cannot pass a %1 that contains \"};\"").arg(what));
        return u'{' + value + u'}';
    }
    QString doubled = value;
    doubled.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + doubled + u'}';
}

class OdbcStringBuilder {
public:
    explicit OdbcStringBuilder(bool freeTds) : freeTds_(freeTds) {}

    void add(const QString& keyword, const QString& what, const QString& value)
    {
        if (!text_.isEmpty())
            text_ += u';';
        text_ += keyword + u'=' + OdbcValue(what, value, freeTds_);
    }
    void addBraced(const QString& keyword, const QString& name)
    {
        if (!text_.isEmpty())
            text_ += u';';
        text_ += keyword + QStringLiteral("={") + name + u'}';
    }
    const QString& text() const { return text_; }

private:
    bool freeTds_;
    QString text_;
};

void AddLogin(OdbcStringBuilder& builder, const ConnectionSettings& settings)
{
    if (settings.integratedSecurity)
        return;
    if (!settings.userId.isEmpty())
        builder.add(QStringLiteral("UID"), QStringLiteral("user name"), settings.userId);
    if (!settings.userId.isEmpty() || !settings.password.isEmpty())
        builder.add(QStringLiteral("PWD"), QStringLiteral("password"), settings.password);
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
    }
    return s;
}

QString TranslateToOdbc(const ConnectionSettings& settings, const QList<OdbcDataSource>& dataSources,
                        const QStringList& drivers)
{
    for (const OdbcDataSource& dsn : dataSources) {
        if (dsn.name.compare(settings.dataSource, Qt::CaseInsensitive) != 0)
            continue;
        OdbcStringBuilder builder(IsFreeTds(dsn.driver));
        // The driver manager opens no data source by a longer name, but drivers read the
        // settings of any data source they are named: the driver manager gets the driver instead.
        if (dsn.name.size() > DriverManagerDsnLimit)
            builder.addBraced(QStringLiteral("DRIVER"), dsn.driver);
        builder.add(QStringLiteral("DSN"), QStringLiteral("data source name"), dsn.name);
        AddLogin(builder, settings);
        if (!settings.initialCatalog.isEmpty())
            builder.add(QStringLiteral("DATABASE"), QStringLiteral("database name"), settings.initialCatalog);
        // So that the program's sessions can be told apart on the server, as with a DSN-less login.
        const QString& app = settings.applicationName;
        if (!app.isEmpty() && IsSqlServerDriver(dsn.driver))
            builder.add(QStringLiteral("APP"), QStringLiteral("application name"), app);
        if (!app.isEmpty() && IsPostgreSqlDriver(dsn.driver) && !app.contains(u'}'))
            builder.addBraced(QStringLiteral("pqopt"), PostgreSqlApplicationName(app));
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

    const bool freeTds = IsFreeTds(driver);
    OdbcStringBuilder builder(freeTds);
    builder.addBraced(QStringLiteral("DRIVER"), driver);
    builder.add(QStringLiteral("SERVER"), QStringLiteral("server name"), settings.dataSource);
    if (settings.integratedSecurity)
        builder.add(QStringLiteral("Trusted_Connection"), QString(), QStringLiteral("yes"));
    AddLogin(builder, settings);
    if (!settings.initialCatalog.isEmpty())
        builder.add(QStringLiteral("DATABASE"), QStringLiteral("database name"), settings.initialCatalog);
    if (!settings.applicationName.isEmpty())
        builder.add(QStringLiteral("APP"), QStringLiteral("application name"), settings.applicationName);
    // Driver 18 would otherwise insist on a certificate it can verify, which servers set up for
    // the older drivers rarely have.
    if (driver.contains(QStringLiteral("18")))
        builder.add(QStringLiteral("Encrypt"), QString(), QStringLiteral("Optional"));
    if (freeTds) {
        // With its automatic protocol choice FreeTDS retries a silent server for ever, login
        // time-out or not; 7.3 is understood by every SQL Server from 2008 on.
        builder.add(QStringLiteral("TDS_Version"), QString(), QStringLiteral("7.3"));
        builder.add(QStringLiteral("ClientCharset"), QString(), QStringLiteral("UTF-8"));
    }
    return builder.text();
}
