#include "RecordSets.h"

#include "data/history/CumulativeRates.h"

#include <QTest>

// Per-second rates of cumulative columns between refreshes, on record sets built by hand.
class TestCumulativeRates : public QObject {
    Q_OBJECT

    // Sessions: (spid, host, cpu as a number, io as sp_who2's text).
    static std::unique_ptr<RecordSet> sessions(const QList<QVariantList>& rows)
    {
        return RecordsOf({{"spid", FieldType::Integer},
                          {"host", FieldType::VarWChar},
                          {"cpu", FieldType::BigInt},
                          {"io", FieldType::VarChar}},
                         rows);
    }

    static QStringList titles(const RecordSet& records)
    {
        QStringList names;
        for (int i = 0; i < records.fieldCount(); ++i)
            names << records.field(i).name;
        return names;
    }

    // The column's values, "-" for a null.
    static QStringList values(const RecordSet& records, const QString& name)
    {
        int column = -1;
        for (int i = 0; i < records.fieldCount(); ++i) {
            if (records.field(i).name == name)
                column = i;
        }
        QStringList texts;
        for (int row = 0; row < records.rowCount(); ++row)
            texts << (records.isNull(row, column) ? QStringLiteral("-") : records.value(row, column).toString());
        return texts;
    }

private Q_SLOTS:
    void rateFollowsEachCumulativeColumn()
    {
        CumulativeRates rates({"SPID"}, {"IO", "cpu"});
        std::unique_ptr<RecordSet> first = rates.apply(sessions({{51, "a", 100, " 40 "}, {52, "b", 7, "1"}}), 10000);
        QCOMPARE(titles(*first), (QStringList{"spid", "host", "cpu", "cpu/с", "io", "io/с"}));
        QCOMPARE(first->field(3).type, FieldType::Float);
        // Nothing to compare with yet; the columns moved over keep their values.
        QCOMPARE(values(*first, "cpu/с"), (QStringList{"-", "-"}));
        QCOMPARE(values(*first, "io"), (QStringList{" 40 ", "1"}));
        QCOMPARE(values(*first, "cpu"), (QStringList{"100", "7"}));

        // Two seconds on: a row that grew, one that was reset, one that is new, a value gone null
        // and text that reads as no number.
        std::unique_ptr<RecordSet> second = rates.apply(
            sessions({{53, "c", 5, "5"}, {51, "a", 160, "  50"}, {52, "b", 3, QVariant()}}), 12000);
        QCOMPARE(values(*second, "cpu/с"), (QStringList{"-", "30", "-"}));
        QCOMPARE(values(*second, "io/с"), (QStringList{"-", "5", "-"}));
        QVERIFY(!rates.problems().any());

        std::unique_ptr<RecordSet> third = rates.apply(
            sessions({{51, "a", 160, "n/a"}, {52, "b", 4, "9"}, {53, "c", 9, "6"}}), 12500);
        QCOMPARE(values(*third, "cpu/с"), (QStringList{"0", "2", "8"}));
        QCOMPARE(values(*third, "io/с"), (QStringList{"-", "-", "2"}));
    }

    void rowsAreMatchedByTheirKeyAsShown()
    {
        // Two text key columns: "ab" and "c" is another key than "a" and "bc"; a null key cell shows
        // as empty text, as the grid shows it.
        CumulativeRates rates({"host", "io"}, {"cpu"});
        rates.apply(sessions({{1, "ab", 10, "c"}, {2, "x", 20, QVariant()}, {3, "y", 30, "1"}}), 0);
        std::unique_ptr<RecordSet> next = rates.apply(sessions({{1, "a", 15, "bc"}, {2, "x", 22, ""}, {3, "y", 33, "1"}}), 1000);
        QCOMPARE(values(*next, "cpu/с"), (QStringList{"-", "2", "3"}));
    }

    void repeatedKeysGiveNoRateAndAreCounted()
    {
        CumulativeRates rates({"spid"}, {"cpu"});
        rates.apply(sessions({{51, "a", 10, "0"}, {52, "b", 10, "0"}, {52, "c", 10, "0"}}), 0);
        QCOMPARE(rates.problems().repeatedKeyRows, 2);
        // Now 52 is single, but last time it was not: no rate yet. 51 now repeats three times.
        std::unique_ptr<RecordSet> next = rates.apply(
            sessions({{51, "a", 20, "0"}, {52, "b", 30, "0"}, {51, "x", 20, "0"}, {51, "y", 20, "0"}}), 1000);
        QCOMPARE(values(*next, "cpu/с"), (QStringList{"-", "-", "-", "-"}));
        QCOMPARE(rates.problems().repeatedKeyRows, 3);
        next = rates.apply(sessions({{51, "a", 20, "0"}, {52, "b", 40, "0"}}), 2000);
        QCOMPARE(values(*next, "cpu/с"), (QStringList{"-", "10"}));
        QCOMPARE(rates.problems().repeatedKeyRows, 0);
    }

    void problemsAreToldAndRowsLeftAlone_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("cumulative");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<RateProblems>("problems");
        const QStringList plain{"spid", "at", "cpu", "io"};
        QTest::newRow("no keys") << QStringList{} << QStringList{"cpu"} << plain << RateProblems{{}, {}, true, 0};
        QTest::newRow("a key missing") << QStringList{"spid", "ecid"} << QStringList{"cpu"} << plain
                                       << RateProblems{{"ecid"}, {}, false, 0};
        QTest::newRow("a total missing, one of no number")
            << QStringList{"spid"} << QStringList{"reads", "at", "cpu"}
            << QStringList{"spid", "at", "cpu", "cpu/с", "io"} << RateProblems{{"reads"}, {"at"}, false, 0};
        QTest::newRow("no totals") << QStringList{"spid"} << QStringList{} << plain << RateProblems{};
    }

    void problemsAreToldAndRowsLeftAlone()
    {
        QFETCH(QStringList, keys);
        QFETCH(QStringList, cumulative);
        QFETCH(QStringList, titles);
        QFETCH(RateProblems, problems);
        CumulativeRates rates(keys, cumulative);
        for (const qint64 time : {0, 1000}) {
            std::unique_ptr<RecordSet> out = rates.apply(
                RecordsOf({{"spid", FieldType::Integer}, {"at", FieldType::DateTime}, {"cpu", FieldType::Float}, {"io", FieldType::Char}},
                          {{1, QVariant(), 1.5 + double(time), "0"}}),
                time);
            QCOMPARE(TestCumulativeRates::titles(*out), titles);
            QCOMPARE(rates.problems(), problems);
        }
    }
};

QTEST_GUILESS_MAIN(TestCumulativeRates)
#include "tst_cumulative_rates.moc"
