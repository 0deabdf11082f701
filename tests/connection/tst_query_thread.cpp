#include "BoundedCall.h"
#include "DatabaseTest.h"
#include "StoppedBackend.h"
#include "TestDatabase.h"

#include "connection/MonitorPort.h"
#include "connection/QueryThread.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/history/RecordingFile.h"
#include "data/Query.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>

using namespace std::chrono_literals;

namespace {

// A window as the worker sees it: a real data set on the test server, and a record of every call
// the worker makes onto the user-interface thread, in order.
class RecordingPort : public MonitorPort {
public:
    // A name of its own: the monitor tests end every session named as the program.
    explicit RecordingPort(const QStringList& sql, const QString& application = QStringLiteral("Quillon worker test"))
    {
        connection.setConnectionString(TestDatabase::pgConnectionString(application));
        query.setConnection(&connection);
        query.setDecimalsAsFloat(true);
        query.setSql(sql);
    }

    int Interval() const override
    {
        ++intervalReads;
        const int value = interval;
        if (value == 1)
            ++readsOfOne;
        return value;
    }
    Query& DataSet() override { return query; }
    QString SelectedScriptFile() const override
    {
        calls << QStringLiteral("script file");
        if (scriptFile.isEmpty())
            throw DataError(QStringLiteral("List index out of bounds (7)"));
        return scriptFile;
    }
    ScriptOptions SelectedScriptOptions() const override { return options; }
    void CountRefresh() override
    {
        // The wait steps that led to this pass, with the check after the previous one.
        readsBeforeCount << intervalReads.exchange(0);
        readsOfOneBeforeCount << readsOfOne.exchange(0);
        calls << QStringLiteral("count");
    }
    void ResetCounter() override { calls << QStringLiteral("reset counter"); }
    void ShowCost(const RefreshCost&) override {}
    void ShowPosition() override
    {
        calls << QStringLiteral("position %1:%2").arg(std::max(query.recNo(), 0)).arg(query.recordCount());
    }
    void SetMessage(const QString& text) override { calls << QStringLiteral("message") + text; }
    void SetIndicator(Indicator state) override
    {
        calls << QStringLiteral("indicator %1").arg(static_cast<int>(state));
    }
    void ShowRowsOffline() override { calls << QStringLiteral("rows offline"); }
    void SetWorking(bool working) override { calls << QStringLiteral("working %1").arg(working); }
    void DropSort() override { calls << QStringLiteral("drop sort"); }
    void ScriptStarts(const ScriptOptions&) override {}
    Tracking TrackingWanted() const override { return tracking; }
    bool KeepRefresh(HistoryFrame frame) override
    {
        frames.push_back(std::move(frame));
        return !showingPast;
    }
    void RecordingFailed(const QString& message) override { calls << QStringLiteral("recording failed ") + message; }
    void BlockingBuilt(std::shared_ptr<const BlockingForest>) override {}
    void RulesStarted(const QList<RuleEvent>& events) override { calls << QStringLiteral("rules started %1").arg(events.size()); }
    void SwitchFilterOff() override
    {
        query.setFiltered(false);
        query.setFilter(QString());
        calls << QStringLiteral("filter off");
    }

    int refreshes() const { return static_cast<int>(calls.count(QStringLiteral("count"))); }

    Connection connection;
    Query query;
    std::atomic<int> interval{1};
    mutable std::atomic<int> intervalReads{0};
    mutable std::atomic<int> readsOfOne{0};
    QString scriptFile;
    ScriptOptions options;
    Tracking tracking;
    std::vector<HistoryFrame> frames;
    bool showingPast = false;
    mutable QStringList calls;
    QList<int> readsBeforeCount;
    QList<int> readsOfOneBeforeCount;
};

const QStringList FiveRows = {QStringLiteral("select g as id, 'n' || g as name"),
                              QStringLiteral("from generate_series(1, 5) g order by g")};

// " yyyy-mm-dd hh:nn:ss - " and the text.
bool stampedMessage(const QString& call, const QString& text)
{
    static const QRegularExpression stamp(QStringLiteral("^message \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - "));
    const QRegularExpressionMatch match = stamp.match(call);
    return match.hasMatch() && call.mid(match.capturedLength()) == text;
}

} // namespace

// The background worker against the real test server, through a port that records what it asks of
// its window.
class TestQueryThread : public DatabaseTest {
    Q_OBJECT

    // 25 ms steps: an interval of 1 s is due at the 41st step after a pass.
    static constexpr int Step = 25;
    static constexpr std::chrono::milliseconds Grace{2000};

    // The test's own session running the long script, or 0.
    static int backendOfSleep()
    {
        return StoppedBackend::activeBackend(QStringLiteral("Quillon worker test"), QStringLiteral("pg_sleep(20)"));
    }

    // The process of the one session of application, waiting for a statement; 0 unless there is just one.
    static int idleSession(const QString& application)
    {
        QString pid;
        TestDatabase::psql(QStringLiteral("select case when count(*) = 1 then max(pid) else 0 end from pg_stat_activity"
                                          " where application_name = '%1' and state = 'idle'")
                               .arg(application),
                           &pid);
        return pid.toInt();
    }

private Q_SLOTS:
    void passesComeAtTheirStep()
    {
        RecordingPort port(FiveRows);
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_VERIFY_WITH_TIMEOUT(port.refreshes() >= 3, 20000);
        BoundedCall("Finish", [&] { QVERIFY(worker.Finish(Grace)); });
        // The first pass follows the first step; each later one the check after the previous pass
        // and 41 steps.
        QCOMPARE(port.readsBeforeCount.mid(0, 3), (QList<int>{1, 42, 42}));
        QCOMPARE(port.calls.mid(0, 4), (QStringList{"count", "position 1:5", "count", "position 1:5"}));
        QCOMPARE(port.query.recordCount(), 5);
        // Ended on request: no end updates.
        QVERIFY(!port.calls.contains(QStringLiteral("working 0")));
        QVERIFY(worker.Ended());
    }

    void loweredIntervalTakesEffectAtTheNextStep()
    {
        RecordingPort port(FiveRows);
        port.interval = 600;
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 1, 10000);
        // 45 steps waited towards 600 s are more than 1 s needs: the pass comes at the next step.
        QTRY_VERIFY_WITH_TIMEOUT(port.intervalReads >= 46, 10000);
        port.interval = 1;
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 2, 10000);
        QVERIFY(port.readsBeforeCount[1] >= 46);
        QCOMPARE(port.readsOfOneBeforeCount[1], 1);
        BoundedCall("Finish", [&] { QVERIFY(worker.Finish(Grace)); });
    }

    void intervalZeroRunsOnceThenEnds()
    {
        RecordingPort port(FiveRows);
        port.interval = 0;
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_VERIFY_WITH_TIMEOUT(worker.Ended(), 10000);
        QCoreApplication::processEvents();
        QCOMPARE(port.calls,
                 (QStringList{"count", "position 1:5", "working 0", "reset counter", "indicator 2"}));
    }

    void failedRunGoesOfflineInOrder()
    {
        RecordingPort port({QStringLiteral("select 1 / 0 as broken")});
        port.query.setFilter(QStringLiteral("[broken] = 1"));
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_VERIFY_WITH_TIMEOUT(worker.Ended(), 10000);
        QCOMPARE(port.calls.size(), 6);
        QCOMPARE(port.calls[0], QStringLiteral("filter off"));
        QVERIFY2(stampedMessage(port.calls[1], QStringLiteral("Offline - Ошибки исполнения скрипта или соединения с сервером.")),
                 qPrintable(port.calls[1]));
        QCOMPARE(port.calls.mid(2), (QStringList{"rows offline", "working 0", "reset counter", "indicator 2"}));
        QVERIFY(port.query.filter().isEmpty());
        QVERIFY(!port.query.active());
    }

    void changedScriptIsReloadedAndStartsAtTheTop()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("other.sql"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("select 10 as a, 20 as b\r\nunion all select 30, 40\r\n");
        out.close();

        RecordingPort port(FiveRows);
        port.scriptFile = file;
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 1, 10000);
        port.query.setRecNo(4);
        worker.ScriptChanged = true;
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 2, 10000);
        QVERIFY(!worker.ScriptChanged);
        QCOMPARE(port.calls.mid(2, 3), (QStringList{"script file", "count", "position 1:2"}));
        QCOMPARE(port.query.fieldName(1), QStringLiteral("b"));
        // An unchanged script keeps the operator's row across the next refresh.
        port.query.setRecNo(2);
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 3, 10000);
        QCOMPARE(port.calls.last(), QStringLiteral("position 2:2"));
        QCOMPARE(port.calls.count(QStringLiteral("script file")), 1);
        BoundedCall("Finish", [&] { QVERIFY(worker.Finish(Grace)); });
    }

    void sortTheNewResultLacksIsDroppedAndRefreshGoesOn()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("other.sql"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("select 1 as other\r\n");
        out.close();

        RecordingPort port(FiveRows);
        port.scriptFile = file;
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 1, 10000);
        port.query.setSort(QStringLiteral("[name] DESC"));
        port.query.setFieldTag(1, 1);
        worker.ScriptChanged = true;
        QTRY_VERIFY_WITH_TIMEOUT(port.refreshes() >= 3, 15000);
        QCOMPARE(port.calls.mid(2, 4), (QStringList{"script file", "drop sort", "count", "position 1:1"}));
        QCOMPARE(port.query.sort(), QString());
        QCOMPARE(port.query.fieldTag(0), 0);
        QVERIFY(!worker.Ended());
        BoundedCall("Finish", [&] { QVERIFY(worker.Finish(Grace)); });
    }

    void reloadThatReadsEmptyEndsOffline()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("empty.sql"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.close();

        RecordingPort port(FiveRows);
        port.scriptFile = file;
        TQueryThread worker(port, Step);
        worker.ScriptChanged = true;
        worker.Start();
        QTRY_VERIFY_WITH_TIMEOUT(worker.Ended(), 10000);
        QCOMPARE(port.calls.size(), 4);
        QCOMPARE(port.calls[0], QStringLiteral("script file"));
        QVERIFY2(stampedMessage(port.calls[1], QStringLiteral("Offline - Ошибка загрузки SQL-скрипта")),
                 qPrintable(port.calls[1]));
        // With an interval above 0 the window still counts as working: no end updates.
        QCOMPARE(port.calls.mid(2), (QStringList{"rows offline", "indicator 2"}));
    }

    void reloadOfAScriptGoneEndsSilently()
    {
        RecordingPort port(FiveRows);
        TQueryThread worker(port, Step);
        worker.ScriptChanged = true;
        worker.Start();
        QTRY_VERIFY_WITH_TIMEOUT(worker.Ended(), 10000);
        QCOMPARE(port.calls, QStringList{"script file"});
    }

    void finishCancelsALongPass()
    {
        RecordingPort port({QStringLiteral("select pg_sleep(20) is null as slept, 7 as id")});
        port.interval = 30;
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_VERIFY_WITH_TIMEOUT(backendOfSleep() > 0, 10000);
        QElapsedTimer timer;
        timer.start();
        BoundedCall("Finish", [&] { QVERIFY(worker.Finish(Grace)); });
        qInfo("Finish returned after %lld ms", timer.elapsed());
        QVERIFY(worker.Ended());
        // Cancelled on request: nothing handed over, no Offline text.
        QVERIFY(port.calls.isEmpty());
    }

    void silentServerIsLetGoAtFinish()
    {
        RecordingPort port({QStringLiteral("select pg_sleep(20) is null as slept, 7 as id")});
        port.interval = 30;
        auto* worker = new TQueryThread(port, Step);
        QPointer<TQueryThread> alive(worker);
        worker->Start();
        QTRY_VERIFY_WITH_TIMEOUT(backendOfSleep() > 0, 10000);
        StoppedBackend silent(backendOfSleep());
        QVERIFY(silent.stopped());
        QElapsedTimer timer;
        timer.start();
        bool ended = true;
        BoundedCall("Finish", [&] { ended = worker->Finish(Grace); });
        qInfo("Finish gave up after %lld ms", timer.elapsed());
        QVERIFY(!ended);
        worker->Detach();
        worker->ReleaseWhenFinished();
        // The server answers again: the worker ends and deletes itself, touching nothing.
        silent.resume();
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), 20000);
        QVERIFY(port.calls.isEmpty());
    }

    void passPastItsDeadlineGoesOfflineAndLetsGo()
    {
        // A name of this run's own: its one session is the worker's.
        const QString application = QStringLiteral("Quillon deadline test %1").arg(QCoreApplication::applicationPid());
        RecordingPort port({QStringLiteral("select pg_sleep(20) is null as slept, 7 as id")}, application);
        port.interval = 30;
        auto* worker = new TQueryThread(port, Step, PassDeadline{std::chrono::seconds(1), 500ms, 500ms});
        QPointer<TQueryThread> alive(worker);
        // The server goes silent before the pass sends its statement, so that the statement's time-out,
        // which the server keeps, cannot end the pass however late the test gets to stop the server.
        int backend = 0;
        QTRY_VERIFY_WITH_TIMEOUT((backend = idleSession(application)) > 0, 10000);
        StoppedBackend silent(backend);
        QVERIFY(silent.stopped());
        worker->Start();
        QTRY_COMPARE_WITH_TIMEOUT(port.calls.size(), 6, 10000);
        QCOMPARE(port.calls[0], QStringLiteral("filter off"));
        QVERIFY2(stampedMessage(port.calls[1], QStringLiteral("Offline - Ошибки исполнения скрипта или соединения с сервером.")),
                 qPrintable(port.calls[1]));
        QCOMPARE(port.calls.mid(2), (QStringList{"rows offline", "working 0", "reset counter", "indicator 2"}));
        QVERIFY(!worker->Ended());
        worker->ReleaseWhenFinished();
        // The server answers again, and the test ends the session: the cancel that came while it was
        // stopped may have reached it before the statement and been dropped. The worker ends with it.
        silent.resume();
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral("select pg_terminate_backend(%1)").arg(backend), nullptr, &error), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), 20000);
        QCOMPARE(port.calls.size(), 6);
    }

    void ratesOfATableUpdatedBetweenRefreshes()
    {
        const QString table = QStringLiteral("rates_%1").arg(QCoreApplication::applicationPid());
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral("drop table if exists %1; create table %1 (id int, total bigint, reads text);"
                                                   "insert into %1 values (1, 1000, '10'), (2, 1000, '10'), (3, 1000, '10'),"
                                                   " (4, 1000, '10'); alter table %1 owner to %2")
                                        .arg(table, TestDatabase::user()),
                                    nullptr, &error),
                 qPrintable(error));
        RecordingPort port({QStringLiteral("select id, total, reads from %1 order by id").arg(table)});
        port.options.keyColumns = {"ID"};
        port.options.cumulativeColumns = {"reads", "Total"};
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 1, 10000);
        const QStringList titles{"id", "total", "total/с", "reads", "reads/с"};
        const auto columns = [&port] {
            QStringList names;
            for (int i = 0; i < port.query.fieldCount(); ++i)
                names << port.query.fieldName(i);
            return names;
        };
        QCOMPARE(columns(), titles);
        QVERIFY(port.query.isNull(0, 2));
        // The operator sorts by a rate: a column like any other, kept across refreshes.
        port.query.setSort(QStringLiteral("[total/с] DESC"));
        QVERIFY2(TestDatabase::psql(QStringLiteral("update %1 set total = total + 100 * id, reads = (10 + 2 * id)::text"
                                                   " where id < 4; update %1 set total = 5 where id = 4").arg(table),
                                    nullptr, &error),
                 qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 2, 10000);
        BoundedCall("Finish", [&] { QVERIFY(worker.Finish(Grace)); });
        QCOMPARE(columns(), titles);
        QCOMPARE(port.query.sort(), QStringLiteral("[total/с] DESC"));
        QStringList ids;
        for (int row = 0; row < port.query.viewRowCount(); ++row)
            ids << port.query.displayText(row, 0);
        // The reset row has no rate and goes last.
        QCOMPARE(ids, (QStringList{"3", "2", "1", "4"}));
        QVERIFY(port.query.isNull(3, 2));
        // The same seconds for every row: the rates keep the proportions of the changes.
        const auto rate = [&port](int row, int column) { return port.query.displayText(row, column).toDouble(); };
        QVERIFY2(rate(2, 2) > 50 && rate(2, 2) <= 100, qPrintable(port.query.displayText(2, 2)));
        QCOMPARE(rate(0, 2), 3 * rate(2, 2));
        QCOMPARE(rate(1, 2), 2 * rate(2, 2));
        QCOMPARE(rate(0, 4) * 100, 2 * rate(0, 2));
        QVERIFY(!port.calls.join(u' ').contains(QStringLiteral("message")));
    }

    // Every refresh reaches the window's history as a frame, marked when asked and recorded when
    // asked; a refresh that comes while the window shows the past stays out of its data set.
    void refreshesAreKeptMarkedAndRecorded()
    {
        const QString table = QStringLiteral("tracked_%1").arg(QCoreApplication::applicationPid());
        const auto sql = [&table](const QString& text) {
            QString error;
            QVERIFY2(TestDatabase::psql(text.arg(table, TestDatabase::user()), nullptr, &error), qPrintable(error));
        };
        sql(QStringLiteral("drop table if exists %1; create table %1 (id int, v int); insert into %1 values (1, 1), (2, 2);"
                           "alter table %1 owner to %2"));
        QTemporaryDir dir;
        RecordingPort port({QStringLiteral("select id, v from %1 order by id").arg(table)});
        port.options.keyColumns = {"id"};
        port.tracking.mark = true;
        port.tracking.recorder = std::make_shared<RecordingWriter>(dir.filePath(QStringLiteral("r.qrec")), RecordingHeader{});
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 1, 10000);
        sql(QStringLiteral("delete from %1 where id = 1; insert into %1 values (3, 3); update %1 set v = 20 where id = 2"));
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 2, 10000);
        const RowMarks marks = port.query.marks();
        QCOMPARE(port.query.recordCount(), 3);
        // Row 1 vanished and stays where it stood, before 2 and 3.
        QCOMPARE(port.query.displayText(0, 0), QStringLiteral("1"));
        QCOMPARE(port.query.displayText(2, 0), QStringLiteral("3"));
        QCOMPARE(marks.row(0), RowChange::Same);
        QVERIFY(marks.cellChanged(0, 1));
        QCOMPARE(marks.row(1), RowChange::Appeared);
        QCOMPARE(marks.row(2), RowChange::Vanished);
        // Shown in the past, the window keeps its rows; the frames keep coming.
        port.showingPast = true;
        port.tracking.recorder.reset();
        sql(QStringLiteral("insert into %1 values (4, 4)"));
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 4, 10000);
        BoundedCall("Finish", [&] { QVERIFY(worker.Finish(Grace)); });
        QCOMPARE(port.query.recordCount(), 3);
        QCOMPARE(int(port.frames.size()), 4);
        QVERIFY(port.frames[0].keyframe);
        QCOMPARE(port.frames[3].rowCount, 3);
        // The recorder had the refreshes until the window let it go at the third hand-over.
        const RecordingReader recording(dir.filePath(QStringLiteral("r.qrec")));
        QCOMPARE(recording.frameCount(), 3);
        QCOMPARE(recording.frame(1).time, port.frames[1].time);
        QVERIFY(!port.calls.join(u' ').contains(QStringLiteral("recording failed")));
    }

    void rateProblemsAreToldOncePerScript()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("other.sql"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("select 1 as id, 5 as total union all select 1, 6 union all select 2, 7\r\n");
        out.close();

        RecordingPort port({QStringLiteral("select 1 as id, 5 as total union all select 1, 6 union all select 2, 7")});
        port.scriptFile = file;
        port.options.keyColumns = {"id"};
        port.options.cumulativeColumns = {"total", "reads"};
        TQueryThread worker(port, Step);
        worker.Start();
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 2, 10000);
        const QString told = QStringLiteral("Нет столбцов: reads; 2 строк с повторяющимся ключом: без скорости");
        QCOMPARE(port.calls.size(), 5);
        QVERIFY2(stampedMessage(port.calls[0], told), qPrintable(port.calls[0]));
        QCOMPARE(port.calls.mid(1), (QStringList{"count", "position 1:3", "count", "position 1:3"}));
        QCOMPARE(port.query.fieldName(2), QStringLiteral("total/с"));
        QVERIFY(port.query.isNull(0, 2));
        QCOMPARE(port.query.displayText(2, 2), QStringLiteral("0"));
        // A new script starts over: told again.
        worker.ScriptChanged = true;
        QTRY_COMPARE_WITH_TIMEOUT(port.refreshes(), 4, 10000);
        BoundedCall("Finish", [&] { QVERIFY(worker.Finish(Grace)); });
        QCOMPARE(port.calls.mid(5, 4).value(0), QStringLiteral("script file"));
        QVERIFY2(stampedMessage(port.calls[6], told), qPrintable(port.calls[6]));
        QCOMPARE(port.calls.filter(QStringLiteral("message")).size(), 2);
    }

    void unreachableServerLeavesNoWorker()
    {
        RecordingPort port(FiveRows);
        port.connection.setConnectionString(
            QStringLiteral("Data Source=%1;User ID=%2;Password=wrong").arg(TestDatabase::pgDsn(), TestDatabase::user()));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, TQueryThread(port, Step));
        QVERIFY(port.calls.isEmpty());
    }

};

QTEST_GUILESS_MAIN(TestQueryThread)
#include "tst_query_thread.moc"
