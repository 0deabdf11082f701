#include "data/pg/PgLogin.h"

#include "data/connection/OdbcStringBuilder.h"

namespace {

// Settings of a psqlODBC data source that change what the driver does with a session or its
// results beyond what the native reader reproduces: such a data source keeps the driver.
constexpr const char* DriverOnlySettings[] = {
    "Password",         "PWD",                   "ConnSettings",   "pqopt",
    "BoolsAsChar",      "TextAsLongVarchar",     "UnknownsAsLongVarchar", "MaxVarcharSize",
    "MaxLongVarcharSize", "TrueIsMinus1",        "LFConversion",   "ByteaAsLongVarBinary",
    "BI",               "NumericAsDouble",
};

} // namespace

QString PgLogin::value(const QString& keyword) const
{
    for (const auto& [key, value] : options) {
        if (key == keyword)
            return value;
    }
    return QString();
}

std::optional<PgLogin> NativeLogin(const ConnectionSettings& settings, const QList<OdbcDataSource>& dataSources,
                                   const DataSourceSettingReader& setting)
{
    const OdbcDataSource* source = nullptr;
    for (const OdbcDataSource& dsn : dataSources) {
        if (dsn.name.compare(settings.dataSource, Qt::CaseInsensitive) == 0) {
            source = &dsn;
            break;
        }
    }
    if (!source || OdbcDialectOf(source->driver) != OdbcDialect::PsqlOdbc)
        return std::nullopt;
    for (const char* key : DriverOnlySettings) {
        if (!setting(source->name, key).isEmpty())
            return std::nullopt;
    }

    PgLogin login;
    const auto add = [&login](const QString& keyword, const QString& value) {
        if (!value.isEmpty())
            login.options.append({keyword, value});
    };
    QString host = setting(source->name, "Servername");
    if (host.isEmpty())
        host = setting(source->name, "Server");
    add(QStringLiteral("host"), host);
    add(QStringLiteral("port"), setting(source->name, "Port"));
    add(QStringLiteral("dbname"), settings.initialCatalog.isEmpty() ? setting(source->name, "Database") : settings.initialCatalog);
    // As the driver: with integrated security, or without a user of the operator's, the data
    // source's own user name; the password only with a login of the operator's.
    if (settings.integratedSecurity || settings.userId.isEmpty()) {
        QString user = setting(source->name, "Username");
        if (user.isEmpty())
            user = setting(source->name, "UID");
        add(QStringLiteral("user"), user);
    } else {
        add(QStringLiteral("user"), settings.userId);
    }
    if (!settings.integratedSecurity && (!settings.userId.isEmpty() || !settings.password.isEmpty()))
        login.options.append({QStringLiteral("password"), settings.password});
    add(QStringLiteral("application_name"), settings.applicationName);
    // The driver's default is no encryption, where libpq would try it first.
    QString sslMode = setting(source->name, "SSLmode");
    add(QStringLiteral("sslmode"), sslMode.isEmpty() ? QStringLiteral("disable") : sslMode);
    // The session settings the driver makes on connecting: the reader parses dates in ISO form.
    add(QStringLiteral("options"), QStringLiteral("-c DateStyle=ISO -c extra_float_digits=2"));
    add(QStringLiteral("client_encoding"), QStringLiteral("UTF8"));
    return login;
}
