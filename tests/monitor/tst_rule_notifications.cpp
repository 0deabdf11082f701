#include "DatabaseTest.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "TestDatabase.h"

#include "data/connection/Connection.h"
#include "data/display/DataSetModel.h"
#include "data/history/RuleEvent.h"
#include "data/records/RecordSet.h"
#include "data/view/RowLooks.h"
#include "monitor/DesktopNotifier.h"
#include "monitor/FormMon.h"
#include "monitor/HistoryBar.h"
#include "monitor/MonitorStatusBar.h"
#include "monitor/RuleEventList.h"

#include <QDBusConnection>
#include <QProcess>
#include <QScopeGuard>
#include <QTableView>
#include <QtTest>
#include <thread>

// Stands in for the desktop's notification service on a private session bus.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;

public Q_SLOTS:
    Q_SCRIPTABLE uint Notify(const QString&, uint, const QString&, const QString& summary, const QString&,
                             const QStringList&, const QVariantMap&, int)
    {
        summaries << summary;
        return uint(summaries.size());
    }
};

// A session blocked behind another's row lock, in a real monitor window whose script has a rule
// for it: its row turns the rule's colour once the rule's hold time has passed, and it is told once,
// in the window's event list and to the desktop. On PostgreSQL and on the SQL Server stand-in.
class TestRuleNotifications : public DatabaseTest {
    Q_OBJECT
public:
    TestRuleNotifications() : DatabaseTest(Needs::SqlServerStandIn) {}

private:
    std::unique_ptr<ProgramFixture> program;
    QProcess bus;
    NotificationService service;
    bool serviceRuns = false;

    static inline const QString Application = QStringLiteral("Quillon rules test");

    void writeScript(const QByteArray& sql, const QByteArray& options)
    {
        program->writeCatalogue({{QStringLiteral("RULES"), sql}});
        program->folder.write(QStringLiteral("Config/Options.ini"), "[RULES]\r\n" + options);
    }

    static int refreshes(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::CounterLow).toInt(); }

    // The view rows whose look has this background.
    static int rowsColoured(const TFormMon& w, quint32 background)
    {
        int count = 0;
        const QAbstractItemModel& model = *w.DBGrid->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            const QVariant look = model.index(row, 0).data(DataSetModel::LookRole);
            count += look.isValid() && look.value<RowLook>().background == background;
        }
        return count;
    }

    // Waits for one refresh after the blocked row has kept its colour for a while: still one event.
    void expectBlockedToldOnce(TFormMon& w, const QString& key)
    {
        QTRY_COMPARE_WITH_TIMEOUT(rowsColoured(w, 0xffffc8c8), 1, 20000);
        auto* events = w.findChild<RuleEventList*>();
        QVERIFY(events);
        QTRY_COMPARE_WITH_TIMEOUT(events->count(), 1, 5000);
        const int seen = refreshes(w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(w) >= seen + 2, 10000);
        QCOMPARE(events->count(), 1);
        QVERIFY2(events->text().contains(QStringLiteral("\tBlocked\t")) && events->text().contains(key),
                 qPrintable(events->text()));
        w.HistoryControls->acEvents->trigger();
        QVERIFY(events->isVisible());
        if (serviceRuns) {
            QTRY_COMPARE_WITH_TIMEOUT(service.summaries.size(), 1, 5000);
            QVERIFY(service.summaries.front().startsWith(QStringLiteral("Blocked: ")));
        }
    }

protected:
    void prepareDatabase() override
    {
        // A session bus of the test's own, before anything of the program reaches for one.
        bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address=1")});
        if (!bus.waitForStarted(5000) || !bus.waitForReadyRead(5000)) {
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
            qWarning("no dbus-daemon: the notifications are checked in the event list alone");
            return;
        }
        const QByteArray address = bus.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QDBusConnection connection = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("service"));
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                          QDBusConnection::ExportScriptableSlots));
        serviceRuns = true;
    }

private Q_SLOTS:
    void init()
    {
        service.summaries.clear();
        program = std::make_unique<ProgramFixture>(QMessageBox::Ok, "[Main]\r\nSLEEP_INTERVAL=20\r\n");
        program->startApp();
        QVERIFY(TestDatabase::psql(QStringLiteral("drop table if exists quillon_rules; create table quillon_rules(id int);"
                                                  "insert into quillon_rules values (1); alter table quillon_rules owner to %1")
                                       .arg(TestDatabase::user())));
    }

    void cleanup() { program.reset(); }

    void cleanupTestCase()
    {
        bus.kill();
        bus.waitForFinished(5000);
    }

    void blockedSessionOnPostgreSql()
    {
        writeScript("select pid, cast(array_to_string(pg_blocking_pids(pid), ',') as varchar(200)) as blocked_by, "
                    "cast(application_name as varchar(64)) as application_name from pg_stat_activity "
                    "where application_name like 'quillon-rules-%' order by pid",
                    "KeyColumns=pid\r\nRule1=Blocked;hold=2;color=#ffc8c8;notify;when=[blocked_by] <> ''\r\n");
        QProcess holder;
        QProcess waiter;
        const auto psql = [](QProcess& process, const QString& name, const QString& sql) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("PGAPPNAME"), name);
            process.setProcessEnvironment(environment);
            process.start(TestDatabase::value(QStringLiteral("PG_BIN")) + QStringLiteral("/psql"),
                          {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"),
                           TestDatabase::value(QStringLiteral("PG_SOCKET_DIR")), QStringLiteral("-p"),
                           TestDatabase::value(QStringLiteral("PG_PORT")), QStringLiteral("-U"),
                           TestDatabase::value(QStringLiteral("PG_SUPERUSER")), QStringLiteral("-d"),
                           TestDatabase::value(QStringLiteral("PG_DATABASE")), QStringLiteral("-c"), sql});
        };
        const auto stop = qScopeGuard([&] {
            // A killed psql leaves its backend sleeping with the lock held.
            TestDatabase::psql(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                                              "where application_name like 'quillon-rules-%'"));
            holder.kill();
            waiter.kill();
            holder.waitForFinished(5000);
            waiter.waitForFinished(5000);
        });
        psql(holder, QStringLiteral("quillon-rules-holder"),
             QStringLiteral("begin; update quillon_rules set id = id; select pg_sleep(60)"));
        QTest::qWait(500);
        psql(waiter, QStringLiteral("quillon-rules-waiter"), QStringLiteral("update quillon_rules set id = 2"));

        auto w = StartMonitor({.connectionString = TestDatabase::pgConnectionString(Application),
                               .server = TestDatabase::pgDsn(),
                               .interval = 1});
        QVERIFY(w->Query->active());
        expectBlockedToldOnce(*w, QStringLiteral("blocked_by = "));
    }

    void blockedSessionOnTheStandIn()
    {
        writeScript("exec sp_who2",
                    "KeyColumns=SPID,ProgramName\r\nRule1=Blocked;hold=2;color=#ffc8c8;bold;notify;when=[BlkBy] <> '  .'\r\n");
        const auto session = [](const QString& name) {
            auto connection = std::make_unique<Connection>();
            connection->setConnectionString(TestDatabase::loginConnectionString(
                TestDatabase::mssqlDsn(), TestDatabase::user(), TestDatabase::password(), name));
            connection->open();
            return connection;
        };
        const std::unique_ptr<Connection> holder = session(QStringLiteral("holder"));
        const std::unique_ptr<Connection> waiter = session(QStringLiteral("waiter"));
        holder->execute(QStringLiteral("begin; update quillon_rules set id = id"), false);
        std::thread waiting([&waiter] {
            try {
                waiter->execute(QStringLiteral("update quillon_rules set id = 2"), false);
            } catch (const std::exception&) {
            }
        });
        const auto release = qScopeGuard([&] {
            holder->execute(QStringLiteral("rollback"), false);
            waiting.join();
        });

        auto w = StartMonitor({.connectionString = TestDatabase::loginConnectionString(
                                   TestDatabase::mssqlDsn(), TestDatabase::user(), TestDatabase::password(), Application),
                               .server = TestDatabase::mssqlDsn(),
                               .interval = 1});
        QVERIFY(w->Query->active());
        expectBlockedToldOnce(*w, QStringLiteral(", waiter\tBlkBy = "));
    }

    void manyEventsAtOnceMakeFewNotifications()
    {
        if (!serviceRuns)
            QSKIP("no dbus-daemon");
        DesktopNotifier notifier;
        notifier.notify(QStringLiteral("srv"), QList<RuleEvent>(5, RuleEvent{0, QStringLiteral("Long"), QStringLiteral("1"), {}}));
        QTRY_COMPARE_WITH_TIMEOUT(service.summaries.size(), DesktopNotifier::ShownSeparately + 1, 5000);
        QCOMPARE(service.summaries.back(), QStringLiteral("srv"));
    }

    void handSavedBadRuleIsToldOnce()
    {
        writeScript("select 1 as id",
                    "KeyColumns=id\r\nRule1=Broken;when=[id] >\r\nRule2=Absent;when=[nothing] = 1\r\n");
        auto w = StartMonitor({.connectionString = TestDatabase::pgConnectionString(Application),
                               .server = TestDatabase::pgDsn(),
                               .interval = 1});
        const QString message = w->StatusBar->PanelText(StatusPanel::Message);
        QVERIFY2(message.contains(QStringLiteral("Правило «Broken» пропущено: Invalid filter expression")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Правило «Absent» пропущено: Query: Field 'nothing' not found")),
                 qPrintable(message));
        w->StatusBar->SetPanelText(StatusPanel::Message, QString());
        const int seen = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= seen + 2, 10000);
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Message), QString());
    }
};

QTEST_MAIN(TestRuleNotifications)
#include "tst_rule_notifications.moc"
