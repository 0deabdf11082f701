#include "connection/QueryThread.h"

#include <QtTest>

// When the worker's wait steps make a pass due.
class TestPassDue : public QObject {
    Q_OBJECT

    // The number of the step after the last pass at which the next pass comes.
    static int nextPassStep(int step, int interval)
    {
        int counter = 0;
        for (int n = 1; n < 100000; ++n) {
            if (PassDue(counter, step, interval, false))
                return n;
            ++counter;
        }
        return -1;
    }

private Q_SLOTS:
    void stepsBetweenPasses_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("expected");
        QTest::newRow("3 s at 200 ms") << 200 << 3 << 16;
        QTest::newRow("5 s at 200 ms") << 200 << 5 << 26;
        QTest::newRow("uneven: 1 s at 300 ms") << 300 << 1 << 5;
        QTest::newRow("interval 0") << 200 << 0 << 1;
        QTest::newRow("longest interval") << 200 << 1800 << 9001;
    }

    void stepsBetweenPasses()
    {
        QFETCH(int, step);
        QFETCH(int, interval);
        QTEST(nextPassStep(step, interval), "expected");
    }

    void firstPassComesAfterOneStep()
    {
        QVERIFY(PassDue(0, 200, 1800, true));
    }

    void loweredIntervalTakesEffectAtOnce()
    {
        // 100 steps waited towards 600 s: lowered to 5 s, the pass is due at the very next step.
        QVERIFY(!PassDue(100, 200, 600, false));
        QVERIFY(PassDue(100, 200, 5, false));
        QVERIFY(!PassDue(24, 200, 5, false));
        QVERIFY(PassDue(25, 200, 5, false));
    }

    void hugeStepDoesNotOverflow()
    {
        QVERIFY(PassDue(3, 1 << 30, 1800, false));
        QVERIFY(PassDue(1, 2000000000, 1800, false));
        QVERIFY(!PassDue(0, 2000000000, 1800, false));
    }
};

QTEST_GUILESS_MAIN(TestPassDue)
#include "tst_pass_due.moc"
