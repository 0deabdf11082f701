#include "data/connection/OdbcStringBuilder.h"

#include "data/DataErrors.h"

namespace {

// An unbraced ";" ends the value and drops what follows into a keyword of its own; braces and
// blanks at the ends are read as quoting or trimmed away.
bool NeedsBraces(const QString& value)
{
    return value.contains(u';') || value.contains(u'{') || value.contains(u'}')
        || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
}

bool IsPsqlOdbcDecoded(const QString& keyword)
{
    return keyword.compare(QStringLiteral("PWD"), Qt::CaseInsensitive) == 0
        || keyword.compare(QStringLiteral("pqopt"), Qt::CaseInsensitive) == 0;
}

QString DoubledBraces(QString value)
{
    return value.replace(QStringLiteral("}"), QStringLiteral("}}"));
}

} // namespace

OdbcDialect OdbcDialectOf(const QString& driver)
{
    if (driver.compare(QStringLiteral("FreeTDS"), Qt::CaseInsensitive) == 0)
        return OdbcDialect::FreeTds;
    if (driver.contains(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive))
        return OdbcDialect::PsqlOdbc;
    return OdbcDialect::Standard;
}

OdbcStringBuilder::Form OdbcStringBuilder::formOf(const QString& keyword, const QString& value, bool braced) const
{
    // Drivers read the string as C text: a NUL would end it there.
    if (value.contains(QChar(0)))
        return Form::Impossible;
    switch (dialect_) {
    case OdbcDialect::Standard:
        return braced || NeedsBraces(value) ? Form::Braced : Form::Plain;
    case OdbcDialect::FreeTds:
        if (!braced && !NeedsBraces(value))
            return Form::Plain;
        return value.contains(QStringLiteral("};")) ? Form::Impossible : Form::Braced;
    case OdbcDialect::PsqlOdbc:
        if (IsPsqlOdbcDecoded(keyword))
            return braced || NeedsBraces(value) || value.contains(u'+') || value.contains(u'%') ? Form::Braced : Form::Plain;
        return braced || NeedsBraces(value) ? Form::Impossible : Form::Plain;
    }
    return Form::Impossible;
}

bool OdbcStringBuilder::canCarry(const QString& keyword, const QString& value) const
{
    return formOf(keyword, value, false) != Form::Impossible;
}

void OdbcStringBuilder::add(const QString& keyword, const QString& what, const QString& value)
{
    append(keyword, what, value, false);
}

void OdbcStringBuilder::addBraced(const QString& keyword, const QString& what, const QString& value)
{
    append(keyword, what, value, true);
}

void OdbcStringBuilder::append(const QString& keyword, const QString& what, const QString& value, bool braced)
{
    QString written;
    switch (formOf(keyword, value, braced)) {
    case Form::Plain:
        written = value;
        break;
    case Form::Braced:
        written = u'{' + (dialect_ == OdbcDialect::FreeTds ? value : DoubledBraces(value)) + u'}';
        break;
    case Form::Impossible:
        if (value.contains(QChar(0)))
            throw DataError(QStringLiteral("An ODBC driver cannot be given a %1 that contains a NUL character").arg(what));
        if (dialect_ == OdbcDialect::FreeTds)
            throw DataError(QStringLiteral("The FreeTDS driver cannot pass a %1 that contains \"};\"").arg(what));
        throw DataError(QStringLiteral("The PostgreSQL driver cannot pass a %1 that contains \";\", \"{\" or \"}\" or "
                                       "begins or ends with a blank")
                            .arg(what));
    }
    if (!text_.isEmpty())
        text_ += u';';
    text_ += keyword + u'=' + written;
}
