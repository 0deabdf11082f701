#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <utility>

// Dates and times are held as plain integers so that they sort as numbers and cost 8 bytes:
// a date-time as ticks of 100 nanoseconds (the finest fraction SQL Server keeps, in time(7) and
// datetime2(7)) since 1970-01-01 00:00 of the server's clock (no time zone is applied, the server's
// wall time is what the operator reads), a date as its Julian day, a time as ticks since midnight.
// A date-time with an offset is held as its UTC instant, so that it sorts by the instant, with the
// offset in minutes beside it.

inline constexpr qint64 TicksPerSecond = 10'000'000;
inline constexpr qint64 TicksPerMinute = 60 * TicksPerSecond;
inline constexpr qint64 TicksPerDay = 86'400 * TicksPerSecond;
inline constexpr qint64 UnixEpochJulianDay = 2'440'588;

inline qint64 TimeToTicks(int hour, int minute, int second, qint64 ticks)
{
    return ((qint64(hour) * 60 + minute) * 60 + second) * TicksPerSecond + ticks;
}

inline qint64 JulianDayToTicks(qint64 julianDay, qint64 timeTicks)
{
    return (julianDay - UnixEpochJulianDay) * TicksPerDay + timeTicks;
}

inline qint64 DateTimeToTicks(const QDate& date, qint64 timeTicks)
{
    return JulianDayToTicks(date.toJulianDay(), timeTicks);
}

// The time of day to the millisecond, all that QTime holds.
inline QTime TicksToTime(qint64 ticks)
{
    return QTime::fromMSecsSinceStartOfDay(int(ticks / 10'000));
}

// The whole days and the ticks since midnight of a date-time.
inline std::pair<qint64, qint64> SplitTicks(qint64 ticks)
{
    qint64 days = ticks / TicksPerDay;
    qint64 rest = ticks % TicksPerDay;
    if (rest < 0) {
        rest += TicksPerDay;
        --days;
    }
    return {days + UnixEpochJulianDay, rest};
}

inline QDateTime TicksToDateTime(qint64 ticks)
{
    const auto [julianDay, rest] = SplitTicks(ticks);
    // UTC only so that no daylight-saving gap of the client's zone can shift a server's wall time.
    return QDateTime(QDate::fromJulianDay(julianDay), TicksToTime(rest), Qt::UTC);
}

inline qint64 QDateTimeToTicks(const QDateTime& value)
{
    return DateTimeToTicks(value.date(), qint64(value.time().msecsSinceStartOfDay()) * 10'000);
}

// A date-time with an offset: the instant as UTC ticks and the offset from UTC in minutes.
struct OffsetDateTime {
    qint64 utcTicks = 0;
    int offsetMinutes = 0;

    qint64 wallTicks() const { return utcTicks + offsetMinutes * TicksPerMinute; }
};
