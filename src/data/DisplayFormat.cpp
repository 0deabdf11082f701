#include "data/DisplayFormat.h"

#include "data/TemporalValue.h"

#include <cmath>

namespace {

QString FourDigitYear(QString format)
{
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

// The locale's long time form carries the time zone, which server values do not have.
QString TimeWithSeconds(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QStringLiteral("t"));
    return format.trimmed();
}

} // namespace

DisplayFormat::DisplayFormat()
    : dateFormat_(FourDigitYear(locale_.dateFormat(QLocale::ShortFormat))),
      timeFormat_(TimeWithSeconds(locale_)),
      dateTimeFormat_(dateFormat_ + u' ' + timeFormat_)
{
    locale_.setNumberOptions(QLocale::OmitGroupSeparator);
}

QString DisplayFormat::integer(qint64 value) const
{
    return QString::number(value);
}

QString DisplayFormat::real(double value) const
{
    return locale_.toString(value, 'g', 15);
}

QString DisplayFormat::decimal(QStringView exact) const
{
    QString text = exact.toString();
    const qsizetype dot = text.indexOf(u'.');
    if (dot >= 0)
        text.replace(dot, 1, locale_.decimalPoint());
    return text;
}

QString DisplayFormat::boolean(bool value) const
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString DisplayFormat::dateTime(qint64 micros) const
{
    const QDateTime value = MicrosToDateTime(micros);
    if (value.time().msecsSinceStartOfDay() == 0 && micros % 1000 == 0)
        return locale_.toString(value.date(), dateFormat_);
    return locale_.toString(value, dateTimeFormat_);
}

QString DisplayFormat::date(qint64 julianDay) const
{
    return locale_.toString(QDate::fromJulianDay(julianDay), dateFormat_);
}

QString DisplayFormat::time(qint64 micros) const
{
    return locale_.toString(MicrosToTime(micros), timeFormat_);
}

std::optional<double> DisplayFormat::readNumber(const QString& text) const
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = locale_.toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    // Both forms read "inf" and "nan", which no cell holds and which compare with nothing sensibly.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> DisplayFormat::readDateTime(const QString& text) const
{
    const QString trimmed = text.trimmed();
    const QString shortTime = locale_.timeFormat(QLocale::ShortFormat);
    for (const QString& format : {dateTimeFormat_, dateFormat_ + u' ' + shortTime}) {
        const QDateTime value = locale_.toDateTime(trimmed, format);
        if (value.isValid())
            return QDateTimeToMicros(value);
    }
    const QDate date = locale_.toDate(trimmed, dateFormat_);
    if (date.isValid())
        return DateTimeToMicros(date, 0);
    const QDateTime iso = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (iso.isValid())
        return QDateTimeToMicros(iso);
    const QDate isoDate = QDate::fromString(trimmed, Qt::ISODate);
    if (isoDate.isValid())
        return DateTimeToMicros(isoDate, 0);
    return std::nullopt;
}

std::optional<qint64> DisplayFormat::readTime(const QString& text) const
{
    const QString trimmed = text.trimmed();
    for (const QString& format : {timeFormat_, locale_.timeFormat(QLocale::ShortFormat)}) {
        const QTime value = locale_.toTime(trimmed, format);
        if (value.isValid())
            return qint64(value.msecsSinceStartOfDay()) * 1000;
    }
    const QTime iso = QTime::fromString(trimmed, Qt::ISODateWithMs);
    if (iso.isValid())
        return qint64(iso.msecsSinceStartOfDay()) * 1000;
    return std::nullopt;
}
