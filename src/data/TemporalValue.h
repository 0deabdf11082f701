#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// Dates and times are held as plain integers so that they sort as numbers and cost 8 bytes:
// a date-time as microseconds since 1970-01-01 00:00 of the server's clock (no time zone is
// applied, the server's wall time is what the operator reads), a date as its Julian day, a time
// as microseconds since midnight.

inline constexpr qint64 MicrosPerSecond = 1'000'000;
inline constexpr qint64 MicrosPerDay = 86'400 * MicrosPerSecond;
inline constexpr qint64 UnixEpochJulianDay = 2'440'588;

inline qint64 TimeToMicros(int hour, int minute, int second, qint64 micros)
{
    return ((qint64(hour) * 60 + minute) * 60 + second) * MicrosPerSecond + micros;
}

inline qint64 JulianDayToMicros(qint64 julianDay, qint64 timeMicros)
{
    return (julianDay - UnixEpochJulianDay) * MicrosPerDay + timeMicros;
}

inline qint64 DateTimeToMicros(const QDate& date, qint64 timeMicros)
{
    return JulianDayToMicros(date.toJulianDay(), timeMicros);
}

inline QTime MicrosToTime(qint64 micros)
{
    return QTime::fromMSecsSinceStartOfDay(int(micros / 1000));
}

inline QDateTime MicrosToDateTime(qint64 micros)
{
    qint64 days = micros / MicrosPerDay;
    qint64 rest = micros % MicrosPerDay;
    if (rest < 0) {
        rest += MicrosPerDay;
        --days;
    }
    // UTC only so that no daylight-saving gap of the client's zone can shift a server's wall time.
    return QDateTime(QDate::fromJulianDay(days + UnixEpochJulianDay), MicrosToTime(rest), Qt::UTC);
}

inline qint64 QDateTimeToMicros(const QDateTime& value)
{
    return DateTimeToMicros(value.date(), qint64(value.time().msecsSinceStartOfDay()) * 1000);
}
