#include "data/view/ByteKeyRanks.h"
#include "data/DataErrors.h"
#include "data/records/FieldKinds.h"
#include "data/records/FieldType.h"
#include "data/view/FilterExpression.h"
#include "data/records/RecordSet.h"
#include "data/view/RowFilter.h"
#include "data/view/RowOrdering.h"
#include "data/view/SortText.h"
#include "data/records/TemporalValue.h"

#include <QCollator>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>
#include <numeric>
#include <random>

namespace {

FieldInfo Field(const char* name, FieldType type)
{
    FieldInfo f;
    f.name = QString::fromLatin1(name);
    f.type = type;
    return f;
}

void AppendText(RecordColumn& column, const QString& text)
{
    column.appendText(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
}

// spid | status (nchar, padded) | hostname (char) | login_time | cpu (float) | amount (exact)
std::unique_ptr<RecordSet> Sample()
{
    auto records = std::make_unique<RecordSet>(QList<FieldInfo>{
        Field("spid", FieldType::SmallInt), Field("status", FieldType::WChar), Field("hostname", FieldType::Char),
        Field("login_time", FieldType::DateTime), Field("cpu", FieldType::Float), Field("amount", FieldType::Decimal),
        Field("active", FieldType::Boolean)});
    struct Row {
        int spid;
        const char16_t* status;
        const char16_t* host;
        QDateTime login;
        double cpu;
        const char16_t* amount;
        bool active;
    };
    const Row rows[] = {
        {51, u"sleeping      ", u"Apple", QDateTime(QDate(2004, 10, 21), QTime(14, 5, 9)), -2.5, u"10.50", false},
        {7, u"runnable", u"banana", QDateTime(QDate(2004, 10, 20), QTime(8, 0)), 1e6, u"-3", true},
        {60, u"Sleeping", nullptr, QDateTime(), 0.5, u"10.5", true},
        {52, u"ёж", u"", QDateTime(QDate(2004, 10, 21), QTime(0, 0)), -10, u"9.999", false},
    };
    for (const Row& row : rows) {
        records->column(0).appendInteger(row.spid);
        AppendText(records->column(1), QString::fromUtf16(row.status));
        if (row.host)
            AppendText(records->column(2), QString::fromUtf16(row.host));
        else
            records->column(2).appendNull();
        if (row.login.isValid())
            records->column(3).appendInteger(QDateTimeToTicks(row.login));
        else
            records->column(3).appendNull();
        records->column(4).appendReal(row.cpu);
        AppendText(records->column(5), QString::fromUtf16(row.amount));
        records->column(6).appendInteger(row.active);
    }
    return records;
}

// Two distinct values of a kind, held as its readers hold them.
void AppendTwoValues(FieldType type, RecordColumn& column)
{
    const qint64 at = DateTimeToTicks(QDate(2004, 10, 21), TimeToTicks(14, 5, 9, 1234567));
    switch (FieldKindOf(type).form) {
    case ValueForm::Integer:
    case ValueForm::Boolean:
        column.appendInteger(1);
        column.appendInteger(0);
        return;
    case ValueForm::DateTime:
        column.appendInteger(at);
        column.appendInteger(at + TicksPerDay);
        return;
    case ValueForm::DateTimeOffset:
        // The same wall time at another offset: another instant.
        column.appendOffsetDateTime({at, 180});
        column.appendOffsetDateTime({at + 180 * TicksPerMinute, 0});
        return;
    case ValueForm::Date:
        column.appendInteger(QDate(2004, 10, 21).toJulianDay());
        column.appendInteger(QDate(1900, 1, 1).toJulianDay());
        return;
    case ValueForm::Time:
        column.appendInteger(TimeToTicks(14, 5, 9, 1234567));
        column.appendInteger(TimeToTicks(14, 5, 9, 1234566));
        return;
    case ValueForm::Real:
        column.appendReal(-1234.5678);
        column.appendReal(0.25);
        return;
    case ValueForm::Decimal:
        AppendText(column, QStringLiteral("-1234.500"));
        AppendText(column, QStringLiteral("10.25"));
        return;
    case ValueForm::Bytes:
        AppendText(column, QStringLiteral("00FF10"));
        AppendText(column, QStringLiteral("01"));
        return;
    case ValueForm::Guid:
        AppendText(column, QStringLiteral("A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11"));
        AppendText(column, QStringLiteral("00000000-0000-0000-0000-000000000001"));
        return;
    case ValueForm::Text:
        AppendText(column, QStringLiteral("Ёлка"));
        AppendText(column, QStringLiteral("ёлки"));
        return;
    }
}

QList<int> Passing(const RecordSet& records, const QString& expression)
{
    const RowFilter filter(ParseFilterExpression(expression), records, QStringLiteral("Query"));
    QList<int> spids;
    for (int row = 0; row < records.rowCount(); ++row) {
        if (filter.matches(row))
            spids.append(int(records.column(0).integer(row)));
    }
    return spids;
}

// Texts whose order tells collations apart: case, accents, composed and decomposed forms, scripts,
// digits, punctuation, blanks, long shared starts and texts that start others.
QStringList Awkward()
{
    QStringList texts{QString(), QStringLiteral(" "), QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("ab"),
                      QStringLiteral("Ab "), QStringLiteral("b"), QStringLiteral("é"), QStringLiteral("e\u0301"),
                      QStringLiteral("E"), QStringLiteral("z"), QStringLiteral("ä"), QStringLiteral("Å"), QStringLiteral("-a"),
                      QStringLiteral("a-b"), QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("ё"), QStringLiteral("е"),
                      QStringLiteral("Ж"), QStringLiteral("ж"), QStringLiteral("process 10"), QStringLiteral("process 9"),
                      QStringLiteral("a\u0000b"), QStringLiteral("\U0001F600"), QStringLiteral("ßa"), QStringLiteral("ssa")};
    for (int i = 0; i < 3000; ++i) {
        // Long shared starts, equal texts in other letter cases, and spread-out ones.
        texts.append(QStringLiteral("a long common start of many values %1").arg(i % 700));
        texts.append(i % 2 ? QStringLiteral("VALUE %1").arg(i % 90) : QStringLiteral("value %1").arg(i % 90));
        texts.append(QString::number(qulonglong(i) * 2654435761u % 1000003, 16));
    }
    return texts;
}

// Texts that mostly part within their first few letters, with a few sharing long starts and
// letter cases among them.
QStringList Spread()
{
    QStringList texts = Awkward().mid(0, 27);
    for (int i = 0; i < 6000; ++i) {
        if (i % 50 == 0)
            texts.append(QStringLiteral("%1 a long common start %2").arg(i % 2 ? u'Ж' : u'ж').arg(i));
        texts.append(QString::number(qulonglong(i) * 2654435761u % 1000003, 16) + QStringLiteral("ёЁeé"));
    }
    return texts;
}

QList<int> Sorted(const RecordSet& records, const QList<std::pair<int, bool>>& keys)
{
    std::vector<std::vector<qint64>> columns;
    std::vector<bool> descending;
    for (const auto& [column, desc] : keys) {
        columns.push_back(OrderingKeys(records, column));
        descending.push_back(desc);
    }
    std::vector<int> rows(std::size_t(records.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    SortRows(rows, columns, descending);
    QList<int> spids;
    for (const int row : rows)
        spids.append(int(records.column(0).integer(row)));
    return spids;
}

} // namespace

class TestSortFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::c()); }

    void filterDialogQuotesTheKindsItAlwaysHas()
    {
        const QList<FieldType> quoted = {FieldType::VarChar, FieldType::WChar, FieldType::VarWChar,
                                         FieldType::DateTime, FieldType::Date, FieldType::Time};
        const QList<FieldType> bare = {FieldType::Char, FieldType::LongVarChar, FieldType::LongVarWChar,
                                       FieldType::SmallInt, FieldType::Integer, FieldType::BigInt,
                                       FieldType::Decimal, FieldType::Float, FieldType::Currency,
                                       FieldType::Boolean, FieldType::Guid, FieldType::Binary};
        for (FieldType type : quoted)
            QVERIFY2(IsQuotedFieldType(type), qPrintable(QString::number(int(type))));
        for (FieldType type : bare)
            QVERIFY2(!IsQuotedFieldType(type), qPrintable(QString::number(int(type))));
    }

    // The condition the filter dialog builds from a value the grid shows keeps that value's row and
    // drops the other, for every kind.
    void everyKindFiltersByTheTextItShows()
    {
        for (std::size_t i = 0; i < FieldTypeCount; ++i) {
            const FieldType type = FieldType(i);
            RecordSet records(QList<FieldInfo>{Field("v", type)});
            AppendTwoValues(type, records.column(0));
            const QString shown = records.displayText(0, 0);
            const QString literal = IsQuotedFieldType(type) ? u'\'' + shown + u'\'' : shown;
            const RowFilter filter(ParseFilterExpression(QStringLiteral("[v] = ") + literal), records, QStringLiteral("Query"));
            QVERIFY2(filter.matches(0) && !filter.matches(1), qPrintable(QString::number(i) + u' ' + shown));
        }
    }

    void readsSortTexts()
    {
        const QList<SortKey> keys = ParseSortText(QStringLiteral("[SPID] ,[Login] DESC, host asc"));
        QCOMPARE(keys.size(), 3);
        QCOMPARE(keys[0].field, QStringLiteral("SPID"));
        QVERIFY(!keys[0].descending);
        QCOMPARE(keys[1].field, QStringLiteral("Login"));
        QVERIFY(keys[1].descending);
        QCOMPARE(keys[2].field, QStringLiteral("host"));
        QVERIFY(ParseSortText(QStringLiteral("  ")).isEmpty());
        QCOMPARE(ParseSortText(QStringLiteral("[a, b] desc")).first().field, QStringLiteral("a, b"));
        for (const char* bad : {"[A", "[A] DOWN", "[A] ,", "[A] [B]", "[A]]", "[A]] DESC", ", [A]", "[A] ,, [B]"})
            QVERIFY_THROWS_EXCEPTION(DataError, ParseSortText(QString::fromLatin1(bad)));
    }

    // Inside brackets "]]" stands for "]", so that every column name can be written and read back.
    void sortTextsCarryAnyName()
    {
        const QList<SortKey> keys = ParseSortText(QStringLiteral("[x]] DESC ,[y] desc, [] ,[ ]"));
        QCOMPARE(keys.size(), 3);
        QCOMPARE(keys[0].field, QStringLiteral("x] DESC ,[y"));
        QVERIFY(keys[0].descending);
        QCOMPARE(keys[1].field, QString());
        QCOMPARE(keys[2].field, QStringLiteral(" "));

        const QList<SortKey> odd{{QStringLiteral("]"), true}, {QStringLiteral("[a]]"), false}, {QString(), true},
                                 {QStringLiteral(" , DESC"), false}, {QStringLiteral("я]"), true}};
        const QString text = RenderSortText(odd);
        QCOMPARE(text, QStringLiteral("[]]] DESC ,[[a]]]]] ,[] DESC ,[ , DESC] ,[я]]] DESC"));
        const QList<SortKey> read = ParseSortText(text);
        QCOMPARE(read.size(), odd.size());
        for (qsizetype i = 0; i < odd.size(); ++i) {
            QCOMPARE(read[i].field, odd[i].field);
            QCOMPARE(read[i].descending, odd[i].descending);
        }
        QCOMPARE(RenderSortText({}), QString());
    }

    void readsTheDialogsExpressions()
    {
        FilterExpression e = ParseFilterExpression(QStringLiteral("[spid] > 50 AND [blk] <> 0"));
        QCOMPARE(e.groups.size(), 1);
        QCOMPARE(e.groups[0].size(), 2);
        QCOMPARE(e.groups[0][0].literal, QStringLiteral("50"));
        QVERIFY(e.groups[0][1].op == CompareOp::NotEqual);

        e = ParseFilterExpression(QStringLiteral("[status] = 'sleeping' OR [hostname] = ''"));
        QCOMPARE(e.groups.size(), 2);
        QVERIFY(e.groups[0][0].quoted);
        QCOMPARE(e.groups[1][0].literal, QString());

        // A bare literal on a char column may hold blanks; it ends at " AND [".
        e = ParseFilterExpression(QStringLiteral("[hostname] >= my host and more AND [spid] <= 3"));
        QCOMPARE(e.groups[0][0].literal, QStringLiteral("my host and more"));
        QVERIFY(e.groups[0][0].op == CompareOp::GreaterEqual);
        QVERIFY(e.groups[0][1].op == CompareOp::LessEqual);
        QVERIFY(ParseFilterExpression(QStringLiteral(" ")).isEmpty());
    }

    void rejectsWhatTheDialogCannotMeanToBuild_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::newRow("apostrophe inside quotes") << QStringLiteral("[status] = 'it's'");
        QTest::newRow("empty bare value") << QStringLiteral("[spid] > ");
        QTest::newRow("empty bare value before AND") << QStringLiteral("[spid] >  AND [cpu] = 1");
        QTest::newRow("no operator") << QStringLiteral("[spid] 50");
        QTest::newRow("no brackets") << QStringLiteral("spid = 50");
        QTest::newRow("unclosed quote") << QStringLiteral("[status] = 'x");
        QTest::newRow("junk joiner") << QStringLiteral("[status] = 'x' NOR [spid] = 1");
    }
    void rejectsWhatTheDialogCannotMeanToBuild()
    {
        QFETCH(QString, expression);
        QVERIFY_THROWS_EXCEPTION(DataError, ParseFilterExpression(expression));
    }

    void filtersByTheFieldsKind_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QList<int>>("spids");
        QTest::newRow("number") << QStringLiteral("[spid] > 50") << QList<int>{51, 60, 52};
        QTest::newRow("text ignores case and padding") << QStringLiteral("[status] = 'sleeping'") << QList<int>{51, 60};
        QTest::newRow("text not equal") << QStringLiteral("[status] <> 'SLEEPING'") << QList<int>{7, 52};
        QTest::newRow("text order by collation") << QStringLiteral("[status] < 's'") << QList<int>{7, 52};
        QTest::newRow("cyrillic first in Russian") << QStringLiteral("[status] < 'a'") << QList<int>{52};
        QTest::newRow("bare char literal") << QStringLiteral("[hostname] = apple") << QList<int>{51};
        QTest::newRow("empty text matches blank and null") << QStringLiteral("[hostname] = ''") << QList<int>{60, 52};
        QTest::newRow("AND") << QStringLiteral("[spid] > 50 AND [status] = 'sleeping'") << QList<int>{51, 60};
        QTest::newRow("OR") << QStringLiteral("[spid] < 10 OR [spid] = 52") << QList<int>{7, 52};
        QTest::newRow("locale date") << QStringLiteral("[login_time] >= '21.10.2004'") << QList<int>{51, 52};
        QTest::newRow("locale date-time") << QStringLiteral("[login_time] = '21.10.2004 14:05:09'") << QList<int>{51};
        QTest::newRow("ISO date-time") << QStringLiteral("[login_time] < '2004-10-21T00:00:01'") << QList<int>{7, 52};
        QTest::newRow("null date never matches") << QStringLiteral("[login_time] <> '01.01.2000'") << QList<int>{51, 7, 52};
        QTest::newRow("locale decimal comma") << QStringLiteral("[cpu] < 0,5") << QList<int>{51, 52};
        QTest::newRow("C decimal point") << QStringLiteral("[cpu] >= 0.5") << QList<int>{7, 60};
        QTest::newRow("exact decimal") << QStringLiteral("[amount] = 10.5") << QList<int>{51, 60};
        QTest::newRow("exact decimal order") << QStringLiteral("[amount] < 10") << QList<int>{7, 52};
        QTest::newRow("fractional literal on integers") << QStringLiteral("[spid] > 51.5") << QList<int>{60, 52};
        QTest::newRow("boolean") << QStringLiteral("[active] = True") << QList<int>{7, 60};
    }
    void filtersByTheFieldsKind()
    {
        QFETCH(QString, expression);
        QFETCH(QList<int>, spids);
        const auto records = Sample();
        QCOMPARE(Passing(*records, expression), spids);
    }

    void refusesLiteralsThatDoNotFit_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::newRow("letters for a number") << QStringLiteral("[spid] > abc");
        QTest::newRow("not a date") << QStringLiteral("[login_time] = 'tomorrow'");
        QTest::newRow("ordering booleans") << QStringLiteral("[active] > 0");
        QTest::newRow("unknown field") << QStringLiteral("[nosuch] = 1");
        QTest::newRow("not a decimal") << QStringLiteral("[amount] = 1,2,3");
        // Infinities and NaN are no values a cell can hold; compared, they would pass rows at random.
        for (const char* literal : {"inf", "-inf", "+INF", "Infinity", "nan", "NaN", "-nan", "1e999", "-1e999"}) {
            for (const char* field : {"cpu", "amount", "spid"}) {
                const QString expression = QStringLiteral("[%1] > %2").arg(QLatin1String(field), QLatin1String(literal));
                QTest::newRow(qPrintable(expression)) << expression;
            }
        }
    }
    void refusesLiteralsThatDoNotFit()
    {
        QFETCH(QString, expression);
        const auto records = Sample();
        QVERIFY_THROWS_EXCEPTION(DataError, RowFilter(ParseFilterExpression(expression), *records, QStringLiteral("Query")));
    }

    void infinityGetsTheFiltersUsualError()
    {
        const auto records = Sample();
        try {
            RowFilter(ParseFilterExpression(QStringLiteral("[amount] > inf")), *records, QStringLiteral("Query"));
            QFAIL("inf was taken for a number");
        } catch (const DataError& e) {
            QCOMPARE(e.message(), QStringLiteral("Filter: 'inf' is not a valid value for field 'amount'"));
        }
    }

    // The sort orders text exactly as the collator's own keys do, in every locale, wide or not.
    void textOrderIsTheCollatorsOrder_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("shared starts") << Awkward();
        QTest::newRow("spread") << Spread();
    }

    void textOrderIsTheCollatorsOrder()
    {
        QFETCH(const QStringList, texts);
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); });
        for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                                      QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Swedish, QLocale::Sweden)}) {
            QLocale::setDefault(locale);
            RecordSet records(QList<FieldInfo>{Field("n", FieldType::Integer), Field("wide", FieldType::VarWChar),
                               Field("narrow", FieldType::VarChar)});
            QStringList narrow;
            for (int i = 0; i < texts.size(); ++i) {
                records.column(0).appendInteger(i);
                AppendText(records.column(1), texts[i]);
                // The same values in a column that stays one byte a character.
                QString latin1 = texts[i];
                for (QChar& c : latin1) {
                    if (c.unicode() > 0xFF)
                        c = u'x';
                }
                narrow.append(latin1);
                AppendText(records.column(2), latin1);
            }
            QVERIFY(records.column(1).wide());
            QVERIFY(!records.column(2).wide());
            QCollator collator(locale);
            collator.setCaseSensitivity(Qt::CaseInsensitive);
            for (const auto& [column, values] : {std::pair{1, texts}, std::pair{2, narrow}}) {
                std::vector<QCollatorSortKey> sortKeys;
                for (QString value : values) {
                    while (value.endsWith(u' '))
                        value.chop(1);
                    sortKeys.push_back(collator.sortKey(value));
                }
                for (const bool descending : {false, true}) {
                    QList<int> expected(values.size());
                    std::iota(expected.begin(), expected.end(), 0);
                    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                        const int order = sortKeys[std::size_t(a)].compare(sortKeys[std::size_t(b)]);
                        return descending ? order > 0 : order < 0;
                    });
                    QCOMPARE(Sorted(records, {{column, descending}}), expected);
                }
            }
        }
    }

    // Keys told apart by their starts rank as their whole keys do, and only keys whose starts tie
    // at full length are made whole: short keys, keys ending exactly at the start's length, long
    // shared starts and equal keys.
    void keyStartsRankAsTheirWholeKeys()
    {
        std::mt19937 random(7);
        std::vector<std::vector<unsigned char>> whole;
        for (int i = 0; i < 5000; ++i) {
            std::vector<unsigned char> key(random() % 12);
            for (unsigned char& byte : key)
                byte = static_cast<unsigned char>(1 + random() % (i % 3 == 0 ? 2 : 200));
            whole.push_back(key);
        }
        constexpr std::size_t Length = 4;
        ByteKeys all;
        ByteKeys starts;
        for (const auto& key : whole) {
            all.bytes.insert(all.bytes.end(), key.begin(), key.end());
            all.ends.push_back(all.bytes.size());
            starts.bytes.insert(starts.bytes.end(), key.begin(), key.begin() + std::ptrdiff_t(std::min(key.size(), Length)));
            starts.ends.push_back(starts.bytes.size());
        }
        std::vector<bool> made(whole.size(), false);
        const std::vector<qint64> ranks = RankByKeyStarts(starts, Length, [&](std::size_t key, std::vector<unsigned char>& out) {
            QVERIFY(!made[key]);
            made[key] = true;
            out.insert(out.end(), whole[key].begin(), whole[key].end());
        });
        QCOMPARE(ranks, RankByteKeys(all));
        for (std::size_t key = 0; key < whole.size(); ++key) {
            const auto start = whole[key].begin();
            const bool tiedAtLength = whole[key].size() >= Length
                && std::count_if(whole.begin(), whole.end(), [&](const auto& other) {
                       return other.size() >= Length && std::equal(start, start + Length, other.begin());
                   }) > 1;
            QCOMPARE(made[key], tiedAtLength);
        }
    }

    void sortsByKindWithNullsFirst()
    {
        const auto records = Sample();
        QCOMPARE(Sorted(*records, {{0, false}}), (QList<int>{7, 51, 52, 60}));
        QCOMPARE(Sorted(*records, {{0, true}}), (QList<int>{60, 52, 51, 7}));
        // Null host first; "" before letters; case does not matter.
        QCOMPARE(Sorted(*records, {{2, false}}), (QList<int>{60, 52, 51, 7}));
        QCOMPARE(Sorted(*records, {{2, true}}), (QList<int>{7, 51, 52, 60}));
        QCOMPARE(Sorted(*records, {{3, false}}), (QList<int>{60, 7, 52, 51}));
        QCOMPARE(Sorted(*records, {{4, false}}), (QList<int>{52, 51, 60, 7}));
        QCOMPARE(Sorted(*records, {{5, false}}), (QList<int>{7, 52, 51, 60}));
        // Equal keys ("sleeping" and "Sleeping", 10.50 and 10.5) keep the fetched order, then the next key decides.
        QCOMPARE(Sorted(*records, {{1, false}}), (QList<int>{52, 7, 51, 60}));
        QCOMPARE(Sorted(*records, {{1, false}, {0, true}}), (QList<int>{52, 7, 60, 51}));
        QCOMPARE(Sorted(*records, {{5, true}, {0, false}}), (QList<int>{51, 60, 52, 7}));
    }
};

QTEST_GUILESS_MAIN(TestSortFilter)
#include "tst_sort_filter.moc"
