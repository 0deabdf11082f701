#include "connection/IntervalStretch.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<qint64>)

// The worker's own interval as a script's runs grow slow and quick again.
class TestIntervalStretch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runsDecideTheInterval_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<QList<qint64>>("runs");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("changes");
        QTest::newRow("quick runs") << 1 << QList<qint64>{400, 500, 500, 500} << 1 << "....";
        QTest::newRow("two slow runs") << 1 << QList<qint64>{700, 900, 300} << 1 << "...";
        QTest::newRow("a quick run breaks the row") << 1 << QList<qint64>{700, 700, 100, 700, 700} << 1 << ".....";
        QTest::newRow("three slow runs: twice the slowest, whole seconds")
            << 1 << QList<qint64>{700, 1100, 600} << 3 << "..S";
        QTest::newRow("slower still while stretched") << 1 << QList<qint64>{700, 700, 700, 1500, 1600, 1800} << 4
                                                      << "..S..S";
        QTest::newRow("between the halves it stays") << 2 << QList<qint64>{1500, 1500, 1500, 1200, 1200, 1200, 1200} << 3
                                                     << "..S....";
        QTest::newRow("three quick runs bring the setting back")
            << 1 << QList<qint64>{700, 700, 700, 200, 300, 400} << 1 << "..S..B";
        QTest::newRow("never past the box's limit") << 1500 << QList<qint64>{1000000, 1000000, 1000000} << 1800 << "..S";
        QTest::newRow("a single run is not stretched") << 0 << QList<qint64>{5000, 5000, 5000} << 0 << "...";
    }

    void runsDecideTheInterval()
    {
        QFETCH(int, setting);
        QFETCH(QList<qint64>, runs);
        IntervalStretch stretch;
        QString changes;
        for (const qint64 run : runs) {
            switch (stretch.ran(run, setting)) {
            case IntervalStretch::Change::None: changes += u'.'; break;
            case IntervalStretch::Change::Stretched: changes += u'S'; break;
            case IntervalStretch::Change::Back: changes += u'B'; break;
            }
        }
        QTEST(changes, "changes");
        QTEST(stretch.interval(setting), "interval");
    }

    // The operator's setting is a floor: raised past the stretch, it holds, without news.
    void aRaisedSettingHolds()
    {
        IntervalStretch stretch;
        for (int i = 0; i < 3; ++i)
            stretch.ran(800, 1);
        QCOMPARE(stretch.interval(1), 2);
        QCOMPARE(stretch.interval(5), 5);
        QCOMPARE(stretch.ran(800, 5), IntervalStretch::Change::None);
        QCOMPARE(stretch.stretched(), 0);
    }
};

QTEST_GUILESS_MAIN(TestIntervalStretch)
#include "tst_interval_stretch.moc"
