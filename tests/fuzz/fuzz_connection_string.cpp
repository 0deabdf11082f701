// The logon's connection string and its translation to ODBC. The logon string reads back every
// field; the ODBC string, read the way its driver reads it, gives back the server, user, password,
// database and application name exactly, holds no keyword twice and none it should not. A value
// is refused only when the driver cannot be given it.

#include "FuzzCheck.h"
#include "data/connection/ConnectionString.h"
#include "data/DataErrors.h"
#include "data/connection/OdbcStringBuilder.h"

#include <QHash>

#include <optional>

namespace {

struct Pair {
    QString keyword;
    QString value;  // as the driver reads it
    QString raw;    // as written
    bool braced = false;
};

// psqlODBC's reading of an unbraced PWD or pqopt; nullopt for a "%" it cannot decode.
std::optional<QString> UrlDecoded(const QString& value)
{
    if (!value.contains(u'+') && !value.contains(u'%'))
        return value;
    const QByteArray bytes = value.toUtf8();
    QByteArray decoded;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '+') {
            decoded += ' ';
        } else if (bytes[i] == '%') {
            bool ok = false;
            const int byte = bytes.mid(i + 1, 2).toInt(&ok, 16);
            if (!ok || i + 2 >= bytes.size())
                return std::nullopt;
            decoded += char(byte);
            i += 2;
        } else {
            decoded += bytes[i];
        }
    }
    return QString::fromUtf8(decoded);
}

bool IsPsqlOdbcDecoded(const QString& keyword)
{
    return keyword.compare(QStringLiteral("PWD"), Qt::CaseInsensitive) == 0
        || keyword.compare(QStringLiteral("pqopt"), Qt::CaseInsensitive) == 0;
}

// The pairs of an ODBC connection string as the dialect's driver reads them; nullopt where the
// driver would fail to read it. Drivers read C text, so a NUL ends the string.
std::optional<QList<Pair>> ReadOdbc(QString text, OdbcDialect dialect)
{
    if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
        text.truncate(nul);
    QList<Pair> pairs;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype equals = text.indexOf(u'=', i);
        if (equals < 0 || text.mid(i, equals - i).contains(u';'))
            return std::nullopt;
        Pair pair;
        pair.keyword = text.mid(i, equals - i);
        const qsizetype start = equals + 1;
        i = start;
        if (i < text.size() && text[i] == u'{') {
            pair.braced = true;
            ++i;
            while (true) {
                const qsizetype close = text.indexOf(u'}', i);
                if (close < 0)
                    return std::nullopt;
                pair.value += QStringView(text).sliced(i, close - i);
                const bool last = close + 1 == text.size() || text[close + 1] == u';';
                if (dialect == OdbcDialect::FreeTds && !last) {
                    pair.value += u'}';
                    i = close + 1;
                } else if (dialect != OdbcDialect::FreeTds && close + 1 < text.size() && text[close + 1] == u'}') {
                    pair.value += u'}';
                    i = close + 2;
                } else if (last) {
                    i = close + 1;
                    break;
                } else {
                    return std::nullopt;
                }
            }
        } else {
            const qsizetype end = text.indexOf(u';', i);
            i = end < 0 ? text.size() : end;
            pair.value = text.mid(start, i - start);
        }
        pair.raw = text.mid(start, i - start);
        if (dialect == OdbcDialect::PsqlOdbc) {
            if (!IsPsqlOdbcDecoded(pair.keyword)) {
                pair.value = pair.raw;
            } else if (!pair.braced) {
                const auto decoded = UrlDecoded(pair.value);
                if (!decoded)
                    return std::nullopt;
                pair.value = *decoded;
            }
        }
        pairs.append(pair);
        if (i < text.size())
            ++i;
    }
    return pairs;
}

// libpq's reading of a conninfo text: key = value, the value bare or in single quotes, a
// backslash escaping the next character. nullopt where libpq would refuse it.
std::optional<QHash<QString, QString>> ReadConninfo(const QString& text)
{
    QHash<QString, QString> options;
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && text[i].isSpace() && text[i].unicode() < 128)
            ++i;
    };
    while (true) {
        skipBlanks();
        if (i == text.size())
            return options;
        const qsizetype equals = text.indexOf(u'=', i);
        if (equals < 0)
            return std::nullopt;
        const QString key = text.mid(i, equals - i).trimmed();
        i = equals + 1;
        skipBlanks();
        QString value;
        const bool quoted = i < text.size() && text[i] == u'\'';
        if (quoted)
            ++i;
        while (true) {
            if (i == text.size()) {
                if (quoted)
                    return std::nullopt;
                break;
            }
            const QChar c = text[i];
            if (quoted ? c == u'\'' : (c.isSpace() && c.unicode() < 128))
                break;
            if (c == u'\\' && i + 1 < text.size())
                ++i;
            value += text[i++];
        }
        if (quoted)
            ++i;
        if (options.contains(key))
            return std::nullopt;
        options.insert(key, value);
    }
}

QString LogonValue(const QString& value)
{
    return u'"' + QString(value).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

bool CanBeVerbatim(const QString& value)
{
    return !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}')
        && (value.isEmpty() || (!value.front().isSpace() && !value.back().isSpace()));
}

QString Describe(const ConnectionSettings& s, const QString& odbc)
{
    return QStringLiteral("server [%1] user [%2] password [%3] database [%4] app [%5] integrated %6\n%7")
        .arg(s.dataSource, s.userId, s.password, s.initialCatalog, s.applicationName)
        .arg(s.integratedSecurity)
        .arg(odbc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    ConnectionSettings settings;
    settings.dataSource = TakeText(input, 40);
    settings.userId = TakeText(input);
    settings.password = TakeText(input);
    settings.initialCatalog = input.ConsumeBool() ? TakeText(input) : QString();
    settings.applicationName = input.ConsumeBool() ? QStringLiteral("Quillon") : TakeText(input);
    settings.integratedSecurity = input.ConsumeIntegralInRange<int>(0, 3) == 0;
    settings.encrypt = input.ConsumeBool();

    // The logon writes every value quoted; reading gives the same settings back.
    QString logon = QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=%1;User ID=%2;Password=%3"
                                   ";Application Name=%4;Initial Catalog=%5")
                        .arg(LogonValue(settings.dataSource), LogonValue(settings.userId), LogonValue(settings.password),
                             LogonValue(settings.applicationName), LogonValue(settings.initialCatalog));
    if (settings.integratedSecurity)
        logon += QStringLiteral(";Integrated Security=SSPI");
    if (settings.encrypt)
        logon += QStringLiteral(";Use Encryption for Data=True");
    const ConnectionSettings read = ParseConnectionString(logon);
    Require(read.dataSource == settings.dataSource && read.userId == settings.userId && read.password == settings.password
                && read.applicationName == settings.applicationName && read.initialCatalog == settings.initialCatalog
                && read.integratedSecurity == settings.integratedSecurity && read.encrypt == settings.encrypt,
            "the logon's connection string reads back", logon);

    static const QStringList driverNames{QStringLiteral("PostgreSQL Unicode"), QStringLiteral("FreeTDS"),
                                         QStringLiteral("ODBC Driver 17 for SQL Server"),
                                         QStringLiteral("ODBC Driver 18 for SQL Server"), QStringLiteral("SQLite3")};
    QList<OdbcDataSource> sources;
    if (input.ConsumeBool()) {
        const QString driver = input.ConsumeBool() ? driverNames[input.ConsumeIntegralInRange<int>(0, 4)] : TakeText(input);
        // A data source may set its own encryption, which stands unless the profile asks for more.
        sources.append({settings.dataSource, driver, QString(), input.ConsumeBool() ? QStringLiteral("off") : QString()});
    }
    QStringList drivers;
    for (const QString& name : driverNames) {
        if (input.ConsumeBool())
            drivers.append(name);
    }

    const bool viaDsn = !sources.isEmpty();
    const QString driver = viaDsn ? sources.first().driver : [&] {
        for (const QString& wanted : SqlServerDriverNames) {
            if (drivers.contains(wanted))
                return wanted;
        }
        return QString();
    }();
    const OdbcDialect dialect = OdbcDialectOf(driver);
    const bool psql = dialect == OdbcDialect::PsqlOdbc;
    const bool sqlServer = dialect == OdbcDialect::FreeTds || driver.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive);
    const bool login = !settings.integratedSecurity;
    const bool longDsn = viaDsn && settings.dataSource.size() > DriverManagerDsnLimit;

    // The values the string carries, and which of them psqlODBC takes as written.
    QStringList carried{settings.dataSource, settings.initialCatalog};
    QStringList verbatim{settings.dataSource, settings.initialCatalog};
    if (longDsn) {
        carried.append(driver);
        verbatim.append(driver);
    }
    if (login)
        carried << settings.userId << settings.password;
    if (sqlServer || psql)
        carried.append(settings.applicationName);
    bool justified = !viaDsn && driver.isEmpty();
    for (const QString& value : carried) {
        justified = justified || value.contains(QChar(0))
                    || (dialect == OdbcDialect::FreeTds && value.contains(QStringLiteral("};")));
    }
    for (const QString& value : verbatim)
        justified = justified || (psql && !CanBeVerbatim(value));

    QString odbc;
    try {
        odbc = TranslateToOdbc(settings, sources, drivers);
    } catch (const DataError& e) {
        Require(justified, "only a value the driver cannot be given is refused", Describe(settings, e.message()));
        // The same refusal with a password that cannot occur in any other text of the message.
        const QString marker = QStringLiteral("\u00A7PW\u00A7");
        ConnectionSettings marked = settings;
        marked.password += marker;
        try {
            TranslateToOdbc(marked, sources, drivers);
            Require(false, "a refusal does not depend on the password's letters", Describe(settings, e.message()));
        } catch (const DataError& again) {
            Require(!again.message().contains(marker), "a refusal never shows the password", Describe(marked, again.message()));
        }
        return 0;
    }
    Require(!justified, "a value the driver cannot be given is refused", Describe(settings, odbc));

    const auto pairs = ReadOdbc(odbc, dialect);
    Require(pairs.has_value(), "the driver can read the string", Describe(settings, odbc));
    QHash<QString, QString> values;
    for (const Pair& pair : *pairs) {
        const QString keyword = pair.keyword.toUpper();
        Require(!values.contains(keyword), "no keyword comes twice", Describe(settings, odbc));
        values.insert(keyword, pair.value);
    }
    static const QStringList vocabulary{QStringLiteral("DRIVER"),   QStringLiteral("DSN"),          QStringLiteral("SERVER"),
                                        QStringLiteral("UID"),      QStringLiteral("PWD"),          QStringLiteral("DATABASE"),
                                        QStringLiteral("APP"),      QStringLiteral("PQOPT"),        QStringLiteral("TRUSTED_CONNECTION"),
                                        QStringLiteral("ENCRYPT"),  QStringLiteral("ENCRYPTION"),   QStringLiteral("TDS_VERSION"),
                                        QStringLiteral("CLIENTCHARSET")};
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        Require(vocabulary.contains(it.key()), "no keyword but the translation's own", Describe(settings, odbc));

    QHash<QString, QString> libpq;
    if (values.contains(QStringLiteral("PQOPT"))) {
        Require(psql, "only psqlODBC gets libpq options", Describe(settings, odbc));
        const auto options = ReadConninfo(values.value(QStringLiteral("PQOPT")));
        Require(options.has_value(), "libpq can read the options", Describe(settings, odbc));
        libpq = *options;
        for (auto it = libpq.cbegin(); it != libpq.cend(); ++it)
            Require(it.key() == QStringLiteral("user") || it.key() == QStringLiteral("application_name"),
                    "no libpq option but the user and the application name", Describe(settings, odbc));
    }

    const auto reads = [&](const QString& keyword, const QString& expected, bool present) {
        Require(values.contains(keyword) == present && (!present || values.value(keyword) == expected),
                qPrintable(keyword + QStringLiteral(" reads back")), Describe(settings, odbc));
    };
    if (viaDsn) {
        reads(QStringLiteral("DSN"), settings.dataSource, true);
        reads(QStringLiteral("DRIVER"), driver, longDsn);
    } else {
        reads(QStringLiteral("SERVER"), settings.dataSource, true);
        reads(QStringLiteral("DRIVER"), driver, true);
    }
    const bool hasUser = login && !settings.userId.isEmpty();
    const bool userAsUid = values.contains(QStringLiteral("UID"));
    const bool userAsLibpq = libpq.contains(QStringLiteral("user"));
    Require(hasUser == (userAsUid || userAsLibpq) && !(userAsUid && userAsLibpq), "the user goes exactly once",
            Describe(settings, odbc));
    if (hasUser)
        Require((userAsUid ? values.value(QStringLiteral("UID")) : libpq.value(QStringLiteral("user"))) == settings.userId,
                "the user reads back", Describe(settings, odbc));
    reads(QStringLiteral("PWD"), settings.password, login && (!settings.userId.isEmpty() || !settings.password.isEmpty()));
    reads(QStringLiteral("DATABASE"), settings.initialCatalog, !settings.initialCatalog.isEmpty());
    reads(QStringLiteral("APP"), settings.applicationName, sqlServer && !settings.applicationName.isEmpty());
    Require(libpq.value(QStringLiteral("application_name")) == (psql ? settings.applicationName : QString()),
            "the application name reads back", Describe(settings, odbc));
    if (values.contains(QStringLiteral("TRUSTED_CONNECTION")))
        reads(QStringLiteral("TRUSTED_CONNECTION"), QStringLiteral("yes"), settings.integratedSecurity);
    if (values.contains(QStringLiteral("TDS_VERSION")))
        reads(QStringLiteral("TDS_VERSION"), QStringLiteral("7.3"), true);
    if (values.contains(QStringLiteral("CLIENTCHARSET")))
        reads(QStringLiteral("CLIENTCHARSET"), QStringLiteral("UTF-8"), true);
    // The login is encrypted wherever the driver can be asked to, unless the data source says otherwise
    // and the profile asks for nothing more.
    const bool freeTds = dialect == OdbcDialect::FreeTds;
    const bool vendor = sqlServer && !freeTds;
    const bool encrypted = (freeTds || vendor) && (!viaDsn || sources.first().encryption.isEmpty() || settings.encrypt);
    reads(QStringLiteral("ENCRYPTION"), settings.encrypt ? QStringLiteral("require") : QStringLiteral("request"),
          freeTds && encrypted);
    reads(QStringLiteral("ENCRYPT"), QStringLiteral("yes"), vendor && encrypted);
    return 0;
}
