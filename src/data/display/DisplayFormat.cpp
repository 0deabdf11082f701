#include "data/display/DisplayFormat.h"

#include "data/records/TemporalText.h"

#include <QRegularExpression>
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

// ".5" for half a second, ".1234567" at the finest; empty for none.
QString FractionText(qint64 ticksOfSecond)
{
    if (ticksOfSecond == 0)
        return QString();
    QString digits = QString::number(ticksOfSecond).rightJustified(7, u'0');
    while (digits.endsWith(u'0'))
        digits.chop(1);
    return u'.' + digits;
}

// "+03:00", "-05:30", "+00:00".
QString OffsetText(int minutes)
{
    const int size = std::abs(minutes);
    return (minutes < 0 ? u'-' : u'+') + QString::number(size / 60).rightJustified(2, u'0') + u':'
        + QString::number(size % 60).rightJustified(2, u'0');
}

qint64 TicksOfSecond(qint64 ticks)
{
    const qint64 rest = ticks % TicksPerSecond;
    return rest < 0 ? rest + TicksPerSecond : rest;
}

} // namespace

DisplayFormat::DisplayFormat()
    : dateFormat_(FourDigitYear(locale_.dateFormat(QLocale::ShortFormat))), timeFormat_(TimeWithSeconds(locale_))
{
    locale_.setNumberOptions(QLocale::OmitGroupSeparator);
    const qsizetype seconds = timeFormat_.indexOf(u's');
    if (seconds >= 0) {
        secondsEnd_ = seconds;
        while (secondsEnd_ < timeFormat_.size() && timeFormat_[secondsEnd_] == u's')
            ++secondsEnd_;
    }
}

QString DisplayFormat::timeFormatWith(qint64 ticksOfSecond) const
{
    const QString fraction = FractionText(ticksOfSecond);
    if (fraction.isEmpty() || secondsEnd_ < 0)
        return timeFormat_;
    return timeFormat_.left(secondsEnd_) + u'\'' + fraction + u'\'' + timeFormat_.mid(secondsEnd_);
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

QString DisplayFormat::dateTime(qint64 ticks) const
{
    const auto [julianDay, timeTicks] = SplitTicks(ticks);
    const QDate date = QDate::fromJulianDay(julianDay);
    if (timeTicks == 0)
        return locale_.toString(date, dateFormat_);
    return locale_.toString(date, dateFormat_) + u' '
        + locale_.toString(TicksToTime(timeTicks), timeFormatWith(TicksOfSecond(timeTicks)));
}

QString DisplayFormat::dateTimeOffset(const OffsetDateTime& value) const
{
    const auto [julianDay, timeTicks] = SplitTicks(value.wallTicks());
    return locale_.toString(QDate::fromJulianDay(julianDay), dateFormat_) + u' '
        + locale_.toString(TicksToTime(timeTicks), timeFormatWith(TicksOfSecond(timeTicks))) + u' '
        + OffsetText(value.offsetMinutes);
}

QString DisplayFormat::date(qint64 julianDay) const
{
    return locale_.toString(QDate::fromJulianDay(julianDay), dateFormat_);
}

QString DisplayFormat::time(qint64 ticks) const
{
    return locale_.toString(TicksToTime(ticks), timeFormatWith(TicksOfSecond(ticks)));
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

template <typename Read>
std::optional<qint64> DisplayFormat::withFraction(const QString& text, Read read) const
{
    // A fraction follows the seconds, after a "." or the locale's decimal separator.
    static const QRegularExpression fraction(QStringLiteral("(\\d:\\d\\d)[.,](\\d+)"));
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch match = fraction.match(trimmed);
    if (!match.hasMatch())
        return read(trimmed);
    const std::optional<qint64> ticks = FractionTicks(match.capturedView(2));
    const std::optional<qint64> whole = read(trimmed.left(match.capturedEnd(1)) + trimmed.mid(match.capturedEnd(2)));
    if (!ticks || !whole)
        return std::nullopt;
    return *whole + *ticks;
}

std::optional<qint64> DisplayFormat::readDateTime(const QString& text) const
{
    return withFraction(text, [this](const QString& trimmed) -> std::optional<qint64> {
        const QString shortTime = locale_.timeFormat(QLocale::ShortFormat);
        for (const QString& format : {dateFormat_ + u' ' + timeFormat_, dateFormat_ + u' ' + shortTime}) {
            const QDateTime value = locale_.toDateTime(trimmed, format);
            if (value.isValid())
                return QDateTimeToTicks(value);
        }
        const QDate date = locale_.toDate(trimmed, dateFormat_);
        if (date.isValid())
            return DateTimeToTicks(date, 0);
        const QDateTime iso = QDateTime::fromString(trimmed, Qt::ISODate);
        if (iso.isValid())
            return QDateTimeToTicks(iso);
        const QDate isoDate = QDate::fromString(trimmed, Qt::ISODate);
        if (isoDate.isValid())
            return DateTimeToTicks(isoDate, 0);
        return std::nullopt;
    });
}

std::optional<qint64> DisplayFormat::readDateTimeOffset(const QString& text) const
{
    static const QRegularExpression offset(QStringLiteral("\\s*([+-])(\\d\\d):?(\\d\\d)$"));
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch match = offset.match(trimmed);
    // A bare date's own "-dd" is no offset.
    if (!match.hasMatch() || !trimmed.left(match.capturedStart()).contains(u':'))
        return readDateTime(trimmed);
    const std::optional<qint64> wall = readDateTime(trimmed.left(match.capturedStart()));
    const int minutes = match.capturedView(2).toInt() * 60 + match.capturedView(3).toInt();
    if (!wall || minutes > 14 * 60)
        return std::nullopt;
    return *wall - (match.captured(1) == QStringLiteral("-") ? -minutes : minutes) * TicksPerMinute;
}

std::optional<qint64> DisplayFormat::readTime(const QString& text) const
{
    return withFraction(text, [this](const QString& trimmed) -> std::optional<qint64> {
        for (const QString& format : {timeFormat_, locale_.timeFormat(QLocale::ShortFormat)}) {
            const QTime value = locale_.toTime(trimmed, format);
            if (value.isValid())
                return qint64(value.msecsSinceStartOfDay()) * 10'000;
        }
        const QTime iso = QTime::fromString(trimmed, Qt::ISODate);
        if (iso.isValid())
            return qint64(iso.msecsSinceStartOfDay()) * 10'000;
        return std::nullopt;
    });
}
