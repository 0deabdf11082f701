#include "data/pg/PgText.h"

#include "data/records/TemporalValue.h"

#include <QVarLengthArray>

#include <charconv>
#include <optional>

namespace {

struct TextCursor {
    const char* at;
    const char* end;

    bool number(int count, int& value)
    {
        if (end - at < count)
            return false;
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (at[i] < '0' || at[i] > '9')
                return false;
            value = value * 10 + (at[i] - '0');
        }
        at += count;
        return true;
    }
    bool literal(char c)
    {
        if (at == end || *at != c)
            return false;
        ++at;
        return true;
    }
    bool startsWith(const char* text) const
    {
        const qsizetype length = qsizetype(qstrlen(text));
        return end - at >= length && qstrncmp(at, text, length) == 0;
    }
};

// The server's ISO form "YYYY-MM-DD", followed by the time of a time stamp and " BC" before Christ.
// A day the calendar lacks is unreadable: an invalid date has no Julian day to count ticks from.
std::optional<QDate> ReadDate(TextCursor& text, bool beforeChrist = false)
{
    int year = 0;
    int month = 0;
    int day = 0;
    if (!text.number(4, year) || !text.literal('-') || !text.number(2, month) || !text.literal('-') || !text.number(2, day))
        return std::nullopt;
    // Qt counts the years before Christ as negative, without a year 0, as the server writes them.
    const QDate date(beforeChrist ? -year : year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

bool IsBeforeChrist(const TextCursor& text)
{
    const qsizetype length = text.end - text.at;
    return length >= 3 && qstrncmp(text.end - 3, " BC", 3) == 0;
}

// Hours, minutes and seconds of "HH:MM:SS[.ffffff]", and the ticks of the fraction.
bool ReadTime(TextCursor& text, int& hour, int& minute, int& second, qint64& ticks)
{
    if (!text.number(2, hour) || !text.literal(':') || !text.number(2, minute) || !text.literal(':') || !text.number(2, second))
        return false;
    ticks = 0;
    if (text.literal('.')) {
        qint64 scale = TicksPerSecond / 10;
        while (text.at != text.end && *text.at >= '0' && *text.at <= '9') {
            ticks += (*text.at - '0') * scale;
            scale /= 10;
            ++text.at;
        }
    }
    return true;
}

bool IsDigit(const char* value, int length, int at)
{
    return at >= 0 && at < length && value[at] >= '0' && value[at] <= '9';
}

// The position of the decimal point of a money text, -1 when it has none. Points and commas count
// only between two digits (a symbol such as "kr." holds one too). The last of them is the decimal
// point, unless it is the only kind and repeats ("1.234.567") or stands alone before three digits
// ("¥1,235"): those group the digits of a currency without fractions.
int MoneyDecimalPoint(const char* value, int length)
{
    int last = -1;
    int points = 0;
    int commas = 0;
    for (int i = 1; i + 1 < length; ++i) {
        if ((value[i] == '.' || value[i] == ',') && IsDigit(value, length, i - 1) && IsDigit(value, length, i + 1)) {
            ++(value[i] == '.' ? points : commas);
            last = i;
        }
    }
    if (last < 0)
        return -1;
    const bool isPoint = value[last] == '.';
    if ((isPoint ? commas : points) > 0)
        return last;
    int digitsAfter = 0;
    while (IsDigit(value, length, last + 1 + digitsAfter))
        ++digitsAfter;
    return (isPoint ? points : commas) == 1 && digitsAfter != 3 ? last : -1;
}

} // namespace

// The driver's values for what its date parsing does not take: the infinities of a time stamp
// become its extreme values, anything else (a date infinity, a year past 9999) today.
qint64 PgDateTimeTicks(const char* value, int length)
{
    TextCursor text{value, value + length};
    if (length > 0 && (value[0] < '0' || value[0] > '9')) {
        if (text.startsWith("infinity"))
            return DateTimeToTicks(QDate(9999, 12, 31), TimeToTicks(23, 59, 59, 0));
        if (text.startsWith("-infinity"))
            return DateTimeToTicks(QDate(-9999, 1, 1), 0);
    }
    const std::optional<QDate> date = ReadDate(text, IsBeforeChrist(text));
    int hour = 0;
    int minute = 0;
    int second = 0;
    qint64 ticks = 0;
    if (!date || !text.literal(' ') || !ReadTime(text, hour, minute, second, ticks))
        return DateTimeToTicks(QDate::currentDate(), 0);
    // A time zone offset after the time is dropped: the value is the session's wall time.
    return DateTimeToTicks(*date, TimeToTicks(hour, minute, second, ticks));
}

qint64 PgDateJulianDay(const char* value, int length)
{
    TextCursor text{value, value + length};
    const std::optional<QDate> date = ReadDate(text);
    if (!date || (text.at != text.end && *text.at != ' '))
        return QDate::currentDate().toJulianDay();
    return date->toJulianDay();
}

qint64 PgTimeTicks(const char* value, int length)
{
    TextCursor text{value, value + length};
    int hour = 0;
    int minute = 0;
    int second = 0;
    qint64 ticks = 0;
    if (!ReadTime(text, hour, minute, second, ticks))
        return 0;
    return TimeToTicks(hour, minute, second, ticks);
}

qint64 PgInteger(const char* value, int length)
{
    qint64 number = 0;
    std::from_chars(value, value + length, number);
    return number;
}

double PgReal(const char* value, int length)
{
    double number = 0;
    std::from_chars(value, value + length, number);
    return number;
}

// The digits with the decimal point, signed by a minus or the parentheses some locales write
// instead; currency symbols, group separators and spaces dropped.
double PgMoney(const char* value, int length)
{
    const int point = MoneyDecimalPoint(value, length);
    QVarLengthArray<char, 64> plain;
    plain.append('-');
    bool negative = false;
    for (int i = 0; i < length; ++i) {
        const char c = value[i];
        if (c >= '0' && c <= '9')
            plain.append(c);
        else if (i == point)
            plain.append('.');
        else if (c == '-' || c == '(')
            negative = true;
    }
    const int skip = negative ? 0 : 1;
    return PgReal(plain.data() + skip, int(plain.size()) - skip);
}
