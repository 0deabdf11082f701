#include "DatabaseTest.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "TestDatabase.h"

#include "app/ServiceClasses.h"
#include "data/Query.h"
#include "monitor/FormMon.h"
#include "monitor/MonitorStatusBar.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSpinBox>
#include <QtTest>

// What a script costs, as a monitor window shows it on PostgreSQL and on the SQL Server stand-in (a
// test fixture): each refresh's duration and share of the interval, the server's own counts where it
// tells them, and an interval the worker stretches while the script is slow.
class TestScriptCost : public DatabaseTest {
    Q_OBJECT

public:
    TestScriptCost() : DatabaseTest(Needs::SqlServerStandIn) {}

private:
    std::unique_ptr<ProgramFixture> program;

    static inline const QString Application = QStringLiteral("Quillon script cost test");

    static void psql(const QString& sql)
    {
        QString error;
        QVERIFY2(TestDatabase::psql(sql, nullptr, &error), qPrintable(error));
    }

    static std::unique_ptr<TFormMon> start(const QString& server, const QString& id)
    {
        int entry = 0;
        while (entry < int(App->Sensors.size()) && App->Sensors[entry]->Id != id)
            ++entry;
        return StartMonitor({.connectionString = TestDatabase::loginConnectionString(
                                 server, TestDatabase::user(), TestDatabase::password(), Application),
                             .server = server,
                             .interval = 1,
                             .queryIndex = entry});
    }

    static QString cost(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::Cost); }
    static QString message(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::Message); }
    static int refreshes(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::CounterLow).toInt(); }

    // The panel's duration in milliseconds and share in per cent, checked against each other.
    static void verifyDurationAndShare(const TFormMon& w, int interval, qint64 atLeastMs)
    {
        static const QRegularExpression figures(QStringLiteral("^(\\d+),(\\d\\d) с · (\\d+)%"));
        const QRegularExpressionMatch match = figures.match(cost(w));
        QVERIFY2(match.hasMatch(), qPrintable(cost(w)));
        const qint64 ms = match.captured(1).toLongLong() * 1000 + match.captured(2).toLongLong() * 10;
        QVERIFY2(ms >= atLeastMs, qPrintable(cost(w)));
        QVERIFY2(qAbs(match.captured(3).toLongLong() - ms / (interval * 10)) <= 1, qPrintable(cost(w)));
    }

    // The time from one refresh to the next.
    static qint64 nextGap(const TFormMon& w)
    {
        int count = refreshes(w);
        if (!QTest::qWaitFor([&] { return refreshes(w) > count; }, 10000))
            return -1;
        count = refreshes(w);
        QElapsedTimer gap;
        gap.start();
        if (!QTest::qWaitFor([&] { return refreshes(w) > count; }, 10000))
            return -1;
        return gap.elapsed();
    }

protected:
    void prepareDatabase() override
    {
        psql(QStringLiteral("drop table if exists quillon_cost_delay; create table quillon_cost_delay(seconds float);"
                            "alter table quillon_cost_delay owner to %1").arg(TestDatabase::user()));
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>(QMessageBox::Ok, "[Main]\r\nSLEEP_INTERVAL=20\r\n");
        program->startApp();
        program->writeCatalogue(
            {{QStringLiteral("SLOWPG"), "select pg_sleep(seconds)::text as slept, 1 as n from quillon_cost_delay"},
             {QStringLiteral("SLOWMS"), "waitfor delay '00:00:00.700'\r\nselect n from generate_series(1, 25) n"},
             {QStringLiteral("QUICK"), "select n from generate_series(1, 25) n"}});
        psql(QStringLiteral("delete from quillon_cost_delay; insert into quillon_cost_delay values (0.7)"));
    }

    void cleanup() { program.reset(); }

    void slowScriptStretchesItsIntervalAndSaysSo_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("counted");
        QTest::newRow("PostgreSQL, pg_sleep") << TestDatabase::pgDsn() << "SLOWPG" << "исп. \\d+ мс · чт. \\d+";
        QTest::newRow("SQL Server stand-in, waitfor delay") << TestDatabase::mssqlDsn() << "SLOWMS" << "ЦП \\d+ мс · чт. 25";
    }

    void slowScriptStretchesItsIntervalAndSaysSo()
    {
        QFETCH(QString, server);
        QFETCH(QString, entry);
        QFETCH(QString, counted);
        auto w = start(server, entry);
        QVERIFY(w->Query->active());
        verifyDurationAndShare(*w, 1, 700);
        QVERIFY2(!cost(*w).contains(QStringLiteral("раз в")), qPrintable(cost(*w)));

        QTRY_VERIFY_WITH_TIMEOUT(message(*w).endsWith(QStringLiteral(
                                     "Скрипт выполняется дольше половины интервала: обновление раз в 2 с вместо 1 с")),
                                 20000);
        QVERIFY2(cost(*w).endsWith(QStringLiteral(" · раз в 2 с")), qPrintable(cost(*w)));
        QVERIFY(QRegularExpression(counted).match(cost(*w)).hasMatch());
        QCOMPARE(w->UpDown->value(), 1);
        const qint64 gap = nextGap(*w);
        QVERIFY2(gap >= 2000, qPrintable(QString::number(gap)));
        verifyDurationAndShare(*w, 2, 700);
    }

    void quickAgainTheSettingHolds()
    {
        auto w = start(TestDatabase::pgDsn(), QStringLiteral("SLOWPG"));
        QTRY_VERIFY_WITH_TIMEOUT(cost(*w).endsWith(QStringLiteral(" · раз в 2 с")), 20000);
        psql(QStringLiteral("update quillon_cost_delay set seconds = 0"));
        QTRY_VERIFY_WITH_TIMEOUT(
            message(*w).endsWith(QStringLiteral("Скрипт снова выполняется быстро: обновление раз в 1 с, как задано")), 20000);
        QVERIFY2(!cost(*w).contains(QStringLiteral("раз в")), qPrintable(cost(*w)));
        const qint64 gap = nextGap(*w);
        QVERIFY2(gap >= 0 && gap < 2000, qPrintable(QString::number(gap)));
    }

    // Without pg_stat_statements the window shows what the worker measures itself, and refreshes on.
    void withoutTheServersCountsNothingIsShownAndNothingBreaks()
    {
        psql(QStringLiteral("drop extension pg_stat_statements"));
        const auto restore = qScopeGuard([] { TestDatabase::psql(QStringLiteral("create extension if not exists pg_stat_statements")); });
        auto w = start(TestDatabase::pgDsn(), QStringLiteral("QUICK"));
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= 3, 10000);
        verifyDurationAndShare(*w, 1, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+,\\d\\d с · \\d+%$")).match(cost(*w)).hasMatch(),
                 qPrintable(cost(*w)));
        QCOMPARE(message(*w), QString());
        QCOMPARE(w->Query->recordCount(), 25);
        QVERIFY(w->Working);
    }
};

QTEST_MAIN(TestScriptCost)
#include "tst_script_cost.moc"
