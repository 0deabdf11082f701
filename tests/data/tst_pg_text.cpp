#include "data/pg/PgText.h"
#include "data/records/TemporalValue.h"

#include <QTest>

#include <cmath>

// The libpq path's reading of the server's text forms, odd values included.
class TestPgText : public QObject {
    Q_OBJECT

    static qint64 dateTime(const QByteArray& text) { return PgDateTimeTicks(text.constData(), int(text.size())); }
    static qint64 date(const QByteArray& text) { return PgDateJulianDay(text.constData(), int(text.size())); }
    static qint64 time(const QByteArray& text) { return PgTimeTicks(text.constData(), int(text.size())); }
    static double money(const QByteArray& text) { return PgMoney(text.constData(), int(text.size())); }
    static qint64 at(int year, int month, int day, qint64 time = 0) { return DateTimeToTicks(QDate(year, month, day), time); }
    static qint64 today() { return DateTimeToTicks(QDate::currentDate(), 0); }

private Q_SLOTS:
    void dateTimes()
    {
        const qint64 afternoon = TimeToTicks(13, 45, 7, 0);
        QCOMPARE(dateTime("2024-02-29 13:45:07"), at(2024, 2, 29, afternoon));
        // Fractions of 1 to 6 digits, and a seventh that the server never sends.
        QCOMPARE(dateTime("2024-02-29 13:45:07.5"), at(2024, 2, 29, afternoon + 5'000'000));
        QCOMPARE(dateTime("2024-02-29 13:45:07.12"), at(2024, 2, 29, afternoon + 1'200'000));
        QCOMPARE(dateTime("2024-02-29 13:45:07.123456"), at(2024, 2, 29, afternoon + 1'234'560));
        QCOMPARE(dateTime("2024-02-29 13:45:07.000001"), at(2024, 2, 29, afternoon + 10));
        QCOMPARE(dateTime("2024-02-29 13:45:07.12345678"), at(2024, 2, 29, afternoon + 1'234'567));
        // The zone of a timestamptz is dropped: what is read is the session's wall time.
        QCOMPARE(dateTime("2024-02-29 13:45:07+01"), at(2024, 2, 29, afternoon));
        QCOMPARE(dateTime("2024-02-29 13:45:07.5-08"), at(2024, 2, 29, afternoon + 5'000'000));
        QCOMPARE(dateTime("2024-02-29 13:45:07+05:30"), at(2024, 2, 29, afternoon));
        // Before Christ, with and without a zone (the local mean time of old dates has seconds).
        QCOMPARE(dateTime("0044-03-15 12:00:00 BC"), at(-44, 3, 15, TimeToTicks(12, 0, 0, 0)));
        QCOMPARE(dateTime("0001-01-01 00:00:00+00:53:28 BC"), at(-1, 1, 1));
        QCOMPARE(dateTime("0001-02-29 00:00:00 BC"), at(-1, 2, 29));
        QCOMPARE(dateTime("infinity"), at(9999, 12, 31, TimeToTicks(23, 59, 59, 0)));
        QCOMPARE(dateTime("-infinity"), at(-9999, 1, 1));
        QCOMPARE(dateTime("24:00:00"), today());

        // What cannot be read is today, as the driver has it; a day the calendar lacks included.
        for (const QByteArray& garbage : {QByteArray(), QByteArray("abc"), QByteArray("2024-02-29"),
                                          QByteArray("2024-02-29T13:45:07"), QByteArray("12345-01-01 00:00:00"),
                                          QByteArray("2024-13-01 00:00:00"), QByteArray("2023-02-29 00:00:00"),
                                          QByteArray("0000-01-01 00:00:00"), QByteArray("0004-02-29 00:00:00 BC"),
                                          QByteArray("2024-00-00 00:00:00"), QByteArray("2024-02-29 1:2:3")})
            QCOMPARE(dateTime(garbage), today());
    }

    void dates()
    {
        QCOMPARE(date("2024-02-29"), QDate(2024, 2, 29).toJulianDay());
        QCOMPARE(date("0001-01-01"), QDate(1, 1, 1).toJulianDay());
        // The driver drops the era of a date.
        QCOMPARE(date("0044-03-15 BC"), QDate(44, 3, 15).toJulianDay());
        const qint64 today = QDate::currentDate().toJulianDay();
        for (const QByteArray& garbage : {QByteArray(), QByteArray("infinity"), QByteArray("-infinity"),
                                          QByteArray("2024-1-1"), QByteArray("2024-02-29x"), QByteArray("2024-02-30"),
                                          QByteArray("2024-13-01"), QByteArray("0000-01-01"), QByteArray("10000-01-01")})
            QCOMPARE(date(garbage), today);
    }

    void times()
    {
        QCOMPARE(time("00:00:00"), 0);
        QCOMPARE(time("13:45:07"), TimeToTicks(13, 45, 7, 0));
        QCOMPARE(time("24:00:00"), TicksPerDay);
        QCOMPARE(time("13:45:07.5"), TimeToTicks(13, 45, 7, 5'000'000));
        QCOMPARE(time("13:45:07.123"), TimeToTicks(13, 45, 7, 1'230'000));
        QCOMPARE(time("23:59:59.999999"), TicksPerDay - 10);
        QCOMPARE(time("13:45:07+05:30"), TimeToTicks(13, 45, 7, 0));
        QCOMPARE(time("13:45:07.25-08"), TimeToTicks(13, 45, 7, 2'500'000));
        for (const QByteArray& garbage : {QByteArray(), QByteArray("ab:cd:ef"), QByteArray("1:2:3"), QByteArray("13:45")})
            QCOMPARE(time(garbage), 0);
    }

    void numbers()
    {
        const QByteArray smallest("-9223372036854775808");
        QCOMPARE(PgInteger(smallest.constData(), int(smallest.size())), std::numeric_limits<qint64>::min());
        const QByteArray tooLarge("9223372036854775808");
        QCOMPARE(PgInteger(tooLarge.constData(), int(tooLarge.size())), 0);
        QCOMPARE(PgInteger("abc", 3), 0);
        QCOMPARE(PgReal("-1.5e300", 8), -1.5e300);
        QVERIFY(std::isnan(PgReal("NaN", 3)));
        QCOMPARE(PgReal("Infinity", 8), std::numeric_limits<double>::infinity());
        QCOMPARE(PgReal("-Infinity", 9), -std::numeric_limits<double>::infinity());
        QCOMPARE(PgReal("", 0), 0.0);
    }

    void moneyOfEveryLocale()
    {
        QCOMPARE(money("$1,234.56"), 1234.56);
        QCOMPARE(money("$0.05"), 0.05);
        QCOMPARE(money("-$1,234,567.89"), -1234567.89);
        QCOMPARE(money("($1,234.56)"), -1234.56);
        QCOMPARE(money("-$92,233,720,368,547,758.08"), -92233720368547758.08);
        QCOMPARE(money("1.234,56 €"), 1234.56);
        QCOMPARE(money("-1.234,56 €"), -1234.56);
        QCOMPARE(money("1 234,56 ₽"), 1234.56);    // grouped by a no-break space
        QCOMPARE(money("-1 234 567,5 ₽"), -1234567.5);
        QCOMPARE(money("12,50 ₽"), 12.5);
        QCOMPARE(money("kr. 1.234,56"), 1234.56);
        QCOMPARE(money("kr. 12"), 12.0);
        QCOMPARE(money("CHF 1'234.50"), 1234.5);
        QCOMPARE(money("1.234,56- €"), -1234.56);
        // Currencies without fractions group by threes.
        QCOMPARE(money("￥1,235"), 1235.0);
        QCOMPARE(money("-₩1,234,567"), -1234567.0);
        QCOMPARE(money("1.234.567 Ft"), 1234567.0);
        for (const QByteArray& garbage : {QByteArray(), QByteArray("$"), QByteArray("abc"), QByteArray("-"),
                                          QByteArray("(.,)")})
            QCOMPARE(money(garbage), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestPgText)
#include "tst_pg_text.moc"
