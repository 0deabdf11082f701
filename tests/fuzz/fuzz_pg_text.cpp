// The libpq path's reading of the server's text forms. Any text reads without a fault to a value a
// record set can hold: a time below a hundred hours, a date and a date-time of a valid day, a
// finite amount of money that is 0 without digits and negative only with a sign. A date-time the
// server writes reads back exactly.

#include "FuzzCheck.h"
#include "data/pg/PgText.h"
#include "data/records/TemporalValue.h"

#include <cmath>

namespace {

void CheckAnyText(const QByteArray& text)
{
    const char* value = text.constData();
    const int length = int(text.size());

    const qint64 time = PgTimeTicks(value, length);
    Require(time >= 0 && time < 100 * 3600 * TicksPerSecond, "a time is below a hundred hours", QString::number(time));

    const qint64 julianDay = PgDateJulianDay(value, length);
    Require(QDate::fromJulianDay(julianDay).isValid(), "a date is a valid day", QString::number(julianDay));

    const auto [day, rest] = SplitTicks(PgDateTimeTicks(value, length));
    const QDate date = QDate::fromJulianDay(day);
    Require(date.isValid() && date.year() >= -9999 && date.year() <= 10000, "a date-time is of a valid day",
            QString::number(day));

    const double money = PgMoney(value, length);
    Require(std::isfinite(money), "money is finite", QString::number(money));
    const bool anyDigit = std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    Require(anyDigit || money == 0, "money without digits is 0", QString::number(money));
    Require(money >= 0 || text.contains('-') || text.contains('('), "money is negative only with a sign",
            QString::number(money));
}

void CheckServerDateTime(FuzzedDataProvider& input)
{
    const bool beforeChrist = input.ConsumeBool();
    const QDate date = QDate::fromJulianDay(input.ConsumeIntegralInRange<qint64>(QDate(-4713, 1, 1).toJulianDay(),
                                                                                 QDate(9999, 12, 31).toJulianDay()));
    if (date.year() < 1 && !beforeChrist)
        return;
    const int hour = input.ConsumeIntegralInRange(0, 23);
    const int minute = input.ConsumeIntegralInRange(0, 59);
    const int second = input.ConsumeIntegralInRange(0, 59);
    const int digits = input.ConsumeIntegralInRange(0, 6);
    const int fraction = input.ConsumeIntegralInRange(0, 999999);
    QByteArray text = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", std::abs(date.year()), date.month(),
                                        date.day(), hour, minute, second).toLatin1();
    qint64 ticks = TimeToTicks(hour, minute, second, 0);
    if (digits > 0) {
        const QByteArray all = QString::asprintf("%06d", fraction).toLatin1();
        text += '.' + all.left(digits);
        ticks += all.left(digits).toLongLong() * 10 * qint64(std::pow(10, 6 - digits));
    }
    if (input.ConsumeBool())
        text += QString::asprintf("%+03d", input.ConsumeIntegralInRange(-12, 14)).toLatin1();
    if (date.year() < 1)
        text += " BC";
    const qint64 read = PgDateTimeTicks(text.constData(), int(text.size()));
    Require(read == DateTimeToTicks(date, ticks), "a server's date-time reads back", QString::fromLatin1(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        CheckServerDateTime(input);
    else
        CheckAnyText(TakeBytes(input, 96));
    return 0;
}
