#include "BoundedCall.h"
#include "ModalDriver.h"

#include "app/RunAside.h"
#include "app/WaitBox.h"
#include "data/DataErrors.h"

#include <QElapsedTimer>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

// What a test's work waits for, and what the wait did; shared, so that work left behind may outlive
// the test's frame.
struct Gate {
    std::atomic<bool> open{false};
    std::atomic<int> cancels{0};
    std::atomic<int> boxes{0};
};

// Work that runs until its gate opens.
std::function<void()> UntilOpen(const std::shared_ptr<Gate>& gate)
{
    return [gate] {
        while (!gate->open)
            std::this_thread::sleep_for(5ms);
    };
}

// A wait that shows a plain box after delay; each cancel is counted, and opens the gate when releases.
AsideWait WaitWithBox(const std::shared_ptr<Gate>& gate, std::chrono::milliseconds delay, bool releases)
{
    AsideWait wait;
    wait.cancel = [gate, releases] {
        ++gate->cancels;
        if (releases)
            gate->open = true;
    };
    wait.box = [gate] {
        ++gate->boxes;
        return std::make_unique<WaitBox>(nullptr);
    };
    wait.boxDelay = delay;
    return wait;
}

} // namespace

// The one way the program runs work aside: what the caller gets back, what the deadline and the
// box's Cancel do, and that the windows are served meanwhile.
class TestRunAside : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QTRY_COMPARE_WITH_TIMEOUT(AsideWorksGoing(), 0, 5000); }

    void errorOfTheWorkComesBackAsThrown()
    {
        try {
            RunAside([] { throw DatabaseError(QStringLiteral("Login failed"), QStringLiteral("28000"), 18456); });
            QFAIL("no error came back");
        } catch (const DatabaseError& error) {
            QCOMPARE(error.message(), QStringLiteral("Login failed"));
            QCOMPARE(error.sqlState(), QStringLiteral("28000"));
            QCOMPARE(error.nativeError(), 18456);
        }
    }

    void callsOntoThisThreadAreServedAndAQuickWorkShowsNoBox()
    {
        auto gate = std::make_shared<Gate>();
        QObject receiver;
        std::atomic<bool> served{false};
        AsideEnd end = AsideEnd::TimedOut;
        BoundedCall("the wait", [&] {
            end = RunAside(
                [&] {
                    QMetaObject::invokeMethod(&receiver, [&served] { served = true; }, Qt::QueuedConnection);
                    while (!served)
                        std::this_thread::sleep_for(5ms);
                },
                WaitWithBox(gate, 5s, false));
        });
        QCOMPARE(end, AsideEnd::Done);
        QCOMPARE(gate->boxes.load(), 0);
    }

    void deadlineLeavesTheWorkBehind()
    {
        auto gate = std::make_shared<Gate>();
        AsideWait wait;
        wait.deadline = 300ms;
        wait.cancel = [gate] { ++gate->cancels; };
        QElapsedTimer clock;
        clock.start();
        AsideEnd end = AsideEnd::Done;
        BoundedCall("the wait", [&] { end = RunAside(UntilOpen(gate), wait); });
        QCOMPARE(end, AsideEnd::TimedOut);
        QVERIFY2(clock.elapsed() >= 300 && clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(gate->cancels.load(), 1);
        QCOMPARE(AsideWorksGoing(), 1);
        gate->open = true;
    }

    void cancelAsksOnceAndWaitsForTheEnd()
    {
        auto gate = std::make_shared<Gate>();
        ModalDriver driver;
        bool stillWaiting = false;
        driver.next<WaitBox>([&](WaitBox* box) {
            box->reject();
            box->reject();
            QTest::qWait(100);
            stillWaiting = box->isVisible();
        });
        AsideEnd end = AsideEnd::Done;
        // The work fails once cancelled: a cancelled wait does not raise it.
        BoundedCall("the wait", [&] {
            end = RunAside(
                [work = UntilOpen(gate)] {
                    work();
                    throw DatabaseError(QStringLiteral("canceling statement"), QStringLiteral("HY008"), 0);
                },
                WaitWithBox(gate, 100ms, true));
        });
        QVERIFY(driver.failures.isEmpty());
        QVERIFY(stillWaiting);
        QCOMPARE(end, AsideEnd::Cancelled);
        QCOMPARE(gate->cancels.load(), 1);
        QCOMPARE(gate->boxes.load(), 1);
    }

    void cancelThatEndsTheWaitLeavesTheWorkBehind()
    {
        auto gate = std::make_shared<Gate>();
        AsideWait wait = WaitWithBox(gate, 100ms, false);
        wait.cancelEndsWait = true;
        ModalDriver driver;
        driver.next<WaitBox>([](WaitBox* box) { box->reject(); });
        AsideEnd end = AsideEnd::Done;
        BoundedCall("the wait", [&] { end = RunAside(UntilOpen(gate), wait); });
        QVERIFY(driver.failures.isEmpty());
        QCOMPARE(end, AsideEnd::Cancelled);
        QCOMPARE(gate->cancels.load(), 1);
        QCOMPARE(AsideWorksGoing(), 1);
        gate->open = true;
    }
};

QTEST_MAIN(TestRunAside)
#include "tst_run_aside.moc"
