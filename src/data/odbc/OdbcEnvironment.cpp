#include "data/odbc/OdbcEnvironment.h"

#include "data/connection/OdbcStringBuilder.h"
#include "data/odbc/OdbcApi.h"
#include "data/odbc/OdbcDiagnostics.h"

#include <QStringList>
#include <odbcinst.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// A text out-parameter of an ODBC call: the buffer and the length the driver manager reports,
// which is the whole text's even when the buffer was too short for it.
class TextBuffer {
public:
    explicit TextBuffer(SQLSMALLINT capacity) : chars_(std::size_t(capacity)) {}

    SQLWCHAR* data() { return chars_.data(); }
    SQLSMALLINT capacity() const { return SQLSMALLINT(chars_.size()); }
    SQLSMALLINT* lengthOut() { return &length_; }

    // The full text needs more room than the buffer has (one character goes to the terminator).
    bool truncated() const { return length_ >= capacity(); }
    SQLSMALLINT needed() const { return length_ < maxCapacity ? SQLSMALLINT(length_ + 1) : maxCapacity; }
    QString text() const { return FromSqlWide(chars_.data(), std::clamp<qsizetype>(length_, 0, capacity() - 1)); }

    static constexpr SQLSMALLINT maxCapacity = 32767;

private:
    std::vector<SQLWCHAR> chars_;
    SQLSMALLINT length_ = 0;
};

// Walks an enumeration of SQLDataSourcesW or SQLDriversW, which give two texts per entry. A text
// longer than its buffer cannot be fetched again on its own, since each call moves on to the next
// entry: the walk starts over with buffers as large as the longest texts seen. The texts are
// never read past their buffers, so a text longer than the largest buffer ODBC allows comes cut.
template <typename Fetch>
QList<std::pair<QString, QString>> EnumeratePairs(SQLSMALLINT firstCapacity, SQLSMALLINT secondCapacity, Fetch fetch)
{
    while (true) {
        QList<std::pair<QString, QString>> entries;
        TextBuffer first(firstCapacity);
        TextBuffer second(secondCapacity);
        SQLSMALLINT firstNeeded = firstCapacity;
        SQLSMALLINT secondNeeded = secondCapacity;
        SQLUSMALLINT direction = SQL_FETCH_FIRST;
        while (SQL_SUCCEEDED(fetch(direction, first, second))) {
            entries.append({first.text(), second.text()});
            if (first.truncated())
                firstNeeded = std::max(firstNeeded, first.needed());
            if (second.truncated())
                secondNeeded = std::max(secondNeeded, second.needed());
            direction = SQL_FETCH_NEXT;
        }
        if (firstNeeded == firstCapacity && secondNeeded == secondCapacity)
            return entries;
        firstCapacity = firstNeeded;
        secondCapacity = secondNeeded;
    }
}

} // namespace

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

QString OdbcEnvironment::DataSourceSetting(const QString& dataSource, const char* key)
{
    char value[256] = {};
    const int length = SQLGetPrivateProfileString(dataSource.toUtf8().constData(), key, "", value, sizeof(value), "odbc.ini");
    return length > 0 ? QString::fromUtf8(value, std::min<int>(length, sizeof(value) - 1)).trimmed() : QString();
}

QList<OdbcDataSource> OdbcEnvironment::dataSources() const
{
    QList<OdbcDataSource> sources;
    for (const auto& [name, description] :
         EnumeratePairs(SQL_MAX_DSN_LENGTH + 1, 512, [this](SQLUSMALLINT direction, TextBuffer& name, TextBuffer& description) {
             return SQLDataSourcesW(env_, direction, name.data(), name.capacity(), name.lengthOut(), description.data(),
                                    description.capacity(), description.lengthOut());
         })) {
        // The description of a data source is the name of its driver.
        const bool freeTds = OdbcDialectOf(description) == OdbcDialect::FreeTds;
        const bool vendor = !freeTds && description.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive);
        sources.append({name, description, freeTds ? DataSourceSetting(name, "TDS_Version") : QString(),
                        freeTds ? DataSourceSetting(name, "Encryption") : vendor ? DataSourceSetting(name, "Encrypt") : QString()});
    }
    return sources;
}

QStringList OdbcEnvironment::drivers() const
{
    QStringList names;
    for (const auto& [name, attributes] :
         EnumeratePairs(512, 2048, [this](SQLUSMALLINT direction, TextBuffer& name, TextBuffer& attributes) {
             return SQLDriversW(env_, direction, name.data(), name.capacity(), name.lengthOut(), attributes.data(),
                                attributes.capacity(), attributes.lengthOut());
         }))
        names.append(name);
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
