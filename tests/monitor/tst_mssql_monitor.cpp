#include "BoundedCall.h"
#include "DatabaseTest.h"
#include "LockChain.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "ResultWindows.h"
#include "TdsStandIn.h"
#include "TestDatabase.h"

#include "app/ActionLog.h"
#include "app/ServiceClasses.h"
#include "connection/Connect.h"
#include "connection/QueryThread.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/Query.h"
#include "monitor/BlockingTree.h"
#include "monitor/CommandWaitBox.h"
#include "monitor/FormMon.h"
#include "monitor/FormViewResult.h"
#include "monitor/HistoryBar.h"
#include "monitor/WindowHistory.h"
#include "data/display/DataSetModel.h"
#include "data/history/ResultHistory.h"
#include "monitor/MonitorStatusBar.h"
#include "platform/TextCodec.h"

#include <QDialogButtonBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QScopeGuard>
#include <QtTest>
#include <thread>

// A monitor window on SQL Server, as an operator uses it: the sample catalogue's sp_Who2 script on
// the SQL Server stand-in (a test fixture) through FreeTDS, with its command menu; long statements
// cancelled; a server that stops, that comes back, and that fails in the middle of a row.
class TestMssqlMonitor : public DatabaseTest {
    Q_OBJECT

public:
    TestMssqlMonitor() : DatabaseTest(Needs::SqlServerStandIn) {}

private:
    std::unique_ptr<ProgramFixture> program;
    QStringList results;   // the texts of the result windows shown
    // How the operator answers a box: Cancel unless a test says otherwise.
    MessageRecorder::Answer answer;

    static inline const QString Application = QStringLiteral("Quillon mssql monitor test");

    // The sample catalogue and its command menus, as a build places them in a new program folder:
    // in Windows-1251.
    void copySample()
    {
        const QString sample = QStringLiteral(QUILLON_SAMPLE_DIR);
        QDirIterator files(sample, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            program->folder.write(QDir(sample).relativeFilePath(path), ToCp1251(QString::fromUtf8(file.readAll())));
        }
    }

    // A catalogue entry and a command of the test's own, beside the sample's.
    void addScript(const QString& id, const QByteArray& sql, const QString& command = {}, const QByteArray& commandSql = {},
                   const QString& field = {}, int show = 0)
    {
        QByteArray catalogue = program->folder.read(QStringLiteral("Config/Sensors.ini"));
        catalogue += ToCp1251(id) + ";" + id.toUtf8() + ";Scripts/" + id.toUtf8() + ".sql\r\n";
        program->folder.write(QStringLiteral("Config/Sensors.ini"), catalogue);
        program->folder.write(QStringLiteral("Scripts/") + id + QStringLiteral(".sql"), ToCp1251(QString::fromUtf8(sql)));
        if (!command.isEmpty()) {
            QByteArray menus = program->folder.read(QStringLiteral("Config/Menus.ini"));
            menus += "[" + id.toUtf8() + "]\r\n0=" + ToCp1251(command) + ";C;Scripts/" + id.toUtf8() + "-command.sql;"
                + field.toUtf8() + ";" + QByteArray::number(show) + "\r\n";
            program->folder.write(QStringLiteral("Config/Menus.ini"), menus);
            program->folder.write(QStringLiteral("Scripts/") + id + QStringLiteral("-command.sql"), ToCp1251(QString::fromUtf8(commandSql)));
        }
        program->app->LoadSensors();
    }

    static int entry(const QString& id)
    {
        for (int i = 0; i < int(App->Sensors.size()); ++i) {
            if (App->Sensors[i]->Id == id)
                return i;
        }
        return -1;
    }

    static std::unique_ptr<TFormMon> window(const QString& id, int interval, const QString& server = TestDatabase::mssqlDsn())
    {
        return ShowMonitor({.connectionString = TestDatabase::loginConnectionString(server, TestDatabase::user(), TestDatabase::password(), Application),
                            .server = server,
                            .interval = interval,
                            .queryIndex = entry(id),
                            .width = 1000});
    }

    static int refreshes(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::CounterLow).toInt(); }

    // The row of the session whose program is named so, or -1.
    static int rowOf(const TFormMon& w, const QString& program)
    {
        const int column = w.Query->fieldIndex(QStringLiteral("ProgramName"));
        for (int row = 0; row < w.Query->viewRowCount(); ++row) {
            if (w.Query->displayText(row, column).trimmed() == program)
                return row;
        }
        return -1;
    }

    static void click(TFormMon& w, int position)
    {
        QAction* item = w.PopupMenu->actions().value(position);
        QVERIFY(item);
        BoundedCall("A command", [item] { item->trigger(); });
    }

    // A session of its own on the stand-in, named by its program name.
    static std::unique_ptr<Connection> session(const QString& program, const QString& server = TestDatabase::mssqlDsn())
    {
        auto connection = std::make_unique<Connection>();
        connection->setConnectionString(
            TestDatabase::loginConnectionString(server, TestDatabase::user(), TestDatabase::password(), program));
        connection->open();
        return connection;
    }

    static QString run(Connection& connection, const QString& sql)
    {
        Query query;
        query.setConnection(&connection);
        query.setSql({sql});
        query.open();
        return query.fieldText(0);
    }

    static QString spidOf(const TFormMon& w, int row)
    {
        return w.Query->displayText(row, w.Query->fieldIndex(QStringLiteral("SPID"))).trimmed();
    }

    // The outcomes the action log holds, oldest first.
    static QStringList loggedOutcomes()
    {
        QFile log(ActionLogPath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList outcomes;
        for (const QByteArray& line : log.readAll().split('\n')) {
            if (!line.isEmpty())
                outcomes << QString::fromUtf8(line).section(u'\t', 4);
        }
        return outcomes;
    }

    // A confirmation is answered so, every other box with Cancel.
    void confirmWith(QMessageBox::StandardButton button)
    {
        answer = [button](const ShownMessage& box) {
            return box.type == MessageType::Confirmation ? button : QMessageBox::Cancel;
        };
    }

    // What sp_who2 tells of the sessions of the window's program: their commands.
    static QStringList commandsOfTheWindow()
    {
        const std::unique_ptr<Connection> observer = session(QStringLiteral("observer"));
        Query query;
        query.setConnection(observer.get());
        query.setSql({QStringLiteral("exec sp_who2")});
        query.open();
        QStringList commands;
        for (query.first(); !query.eof(); query.next()) {
            if (query.fieldTextByName(QStringLiteral("ProgramName")) == Application)
                commands << query.fieldTextByName(QStringLiteral("Command"));
        }
        return commands;
    }

private Q_SLOTS:
    void init()
    {
        answer = {};
        program = std::make_unique<ProgramFixture>(
            MessageRecorder::Answer([this](const ShownMessage& box) { return answer ? answer(box) : QMessageBox::Cancel; }),
            "[Main]\r\nSLEEP_INTERVAL=20\r\n");
        copySample();
        program->startApp()->LoadSensors();
        results.clear();
        RecordResultWindows(&program->scope, [this](TFormViewResult* form) { results << form->rchEdit->toPlainText(); });
    }

    void cleanup() { program.reset(); }

    // The chain below the top row of the tree whose program is head: each row's program and the count
    // of those waiting behind it.
    static QStringList chainOf(const QAbstractItemModel& tree, const QString& head)
    {
        int column = 0;
        while (column < tree.columnCount() && tree.headerData(column, Qt::Horizontal).toString() != "ProgramName")
            ++column;
        QStringList chain;
        for (int row = 0; row < tree.rowCount(); ++row) {
            QModelIndex at = tree.index(row, 0);
            if (at.siblingAtColumn(column).data().toString().trimmed() != head)
                continue;
            for (; at.isValid(); at = tree.index(0, 0, at)) {
                const QString waiting = at.siblingAtColumn(1).data().toString();
                chain << at.siblingAtColumn(column).data().toString().trimmed() + (waiting.isEmpty() ? "" : " " + waiting);
            }
        }
        return chain;
    }

    // sp_Who2's BlkBy as a tree: sessions of the stand-in waiting for each other's row locks hang
    // under their head, which counts both behind it.
    void whoShowsTheBlockingTree()
    {
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral("drop table if exists quillon_who_locks;"
                                                   "create table quillon_who_locks(id int primary key, v int);"
                                                   "insert into quillon_who_locks values (1, 1), (2, 2);"
                                                   "alter table quillon_who_locks owner to %1").arg(TestDatabase::user()),
                                    nullptr, &error),
                 qPrintable(error));
        const LockChain chain([](const QString& program) { return session(program); }, QStringLiteral("quillon_who_locks"),
                              QStringLiteral("tree-head"), QStringLiteral("tree-middle"), QStringLiteral("tree-tail"));
        auto w = window(QStringLiteral("WHO"), 1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->HistoryControls->acBlocking->isEnabled(), 10000);
        w->HistoryControls->acBlocking->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(chainOf(*w->Blocking->model(), QStringLiteral("tree-head")),
                                  (QStringList{"tree-head 2", "tree-middle 1", "tree-tail"}), 10000);
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    // sp_Who2's thirteen columns, with the sample options' rates beside its running totals, and the
    // live sessions; the popup's "Текст запроса" shows what a
    // session sent last and "Завершить сеанс" ends it, whatever its program calls itself.
    void whoAndItsCommands()
    {
        const QString crafted = QStringLiteral("x'; kill 1; --");
        const std::unique_ptr<Connection> victim = session(crafted);
        const std::unique_ptr<Connection> bystander = session(QStringLiteral("bystander"));
        QCOMPARE(run(*victim, QStringLiteral("select 'sent by the victim' as v")), QStringLiteral("sent by the victim"));

        auto w = window(QStringLiteral("WHO"), 1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active() && rowOf(*w, crafted) >= 0, 10000);
        QStringList titles;
        for (int i = 0; i < w->Query->fieldCount(); ++i)
            titles << w->Query->fieldName(i);
        QCOMPARE(titles, QStringList({"SPID", "Status", "Login", "HostName", "BlkBy", "DBName", "Command", "CPUTime",
                                      "CPUTime/с", "DiskIO", "DiskIO/с", "LastBatch", "ProgramName", "SPID", "REQUESTID"}));
        QVERIFY(rowOf(*w, Application) >= 0);
        QVERIFY(rowOf(*w, QStringLiteral("bystander")) >= 0);
        QCOMPARE(w->PopupMenu->actions()[0]->text(), QStringLiteral("Завершить сеанс"));
        QCOMPARE(w->PopupMenu->actions()[1]->text(), QStringLiteral("Текст запроса"));

        w->Query->setRecNo(rowOf(*w, crafted) + 1);
        click(*w, 1);
        QCOMPARE(results.size(), 1);
        QVERIFY2(results[0].startsWith(QStringLiteral("EventType ")), qPrintable(results[0]));
        QVERIFY2(results[0].contains(QStringLiteral("Language Event")), qPrintable(results[0]));
        QVERIFY2(results[0].contains(QStringLiteral("select 'sent by the victim' as v")), qPrintable(results[0]));

        // The sample marks kill dangerous: it runs once the operator confirms it, for the row he saw.
        w->Query->setRecNo(rowOf(*w, crafted) + 1);
        const QString spid = spidOf(*w, rowOf(*w, crafted));
        confirmWith(QMessageBox::Yes);
        click(*w, 0);
        QCOMPARE(program->boxes.messages.size(), 1);
        const QString question = program->boxes.messages[0].text;
        QCOMPARE(program->boxes.messages[0].type, MessageType::Confirmation);
        QVERIFY2(question.contains(QStringLiteral("«Завершить сеанс»")), qPrintable(question));
        QVERIFY2(question.contains(QStringLiteral("\nkill ") + spid), qPrintable(question));
        QVERIFY2(question.contains(QStringLiteral("SPID = %1, Login = %2").arg(spid, TestDatabase::user())), qPrintable(question));
        QVERIFY2(question.contains(QStringLiteral("ProgramName = ") + crafted), qPrintable(question));
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active() && rowOf(*w, crafted) < 0, 10000);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, run(*victim, QStringLiteral("select 1")));
        // Only that session ended.
        QCOMPARE(run(*bystander, QStringLiteral("select 2")), QStringLiteral("2"));
        QVERIFY(rowOf(*w, QStringLiteral("bystander")) >= 0);
        QCOMPARE(loggedOutcomes(), (QStringList{"выполнена", "выполнена"}));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    // Between the click and the confirmation the row's session ends and a new one gets its number:
    // the check on the server tells them apart by the key, and the kill does not run.
    void killOfAReusedSpidIsRefused()
    {
        auto victim = session(QStringLiteral("victim"));
        auto w = window(QStringLiteral("WHO"), 0);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active() && rowOf(*w, QStringLiteral("victim")) >= 0, 10000);
        w->Query->setRecNo(rowOf(*w, QStringLiteral("victim")) + 1);
        const QString spid = spidOf(*w, rowOf(*w, QStringLiteral("victim")));

        std::unique_ptr<Connection> newcomer;
        std::vector<std::unique_ptr<Connection>> others;
        answer = [&](const ShownMessage& box) {
            if (box.type != MessageType::Confirmation)
                return QMessageBox::Ok;
            victim.reset();
            // The stand-in, like SQL Server, gives the lowest free number once the session has gone.
            for (int attempt = 0; attempt < 40 && !newcomer; ++attempt) {
                QTest::qWait(50);
                auto next = session(QStringLiteral("newcomer"));
                if (run(*next, QStringLiteral("select @@spid")).trimmed() == spid)
                    newcomer = std::move(next);
                else
                    others.push_back(std::move(next));
            }
            return QMessageBox::Yes;
        };
        click(*w, 0);
        QVERIFY2(newcomer, "no new session got the number");
        QCOMPARE(program->boxes.messages.size(), 2);
        const QString refusal = program->boxes.messages[1].text;
        QVERIFY2(refusal.startsWith(QStringLiteral("Команда «Завершить сеанс» не выполнена: SPID = ") + spid
                                    + QStringLiteral(" теперь у другого сеанса")),
                 qPrintable(refusal));
        QVERIFY2(refusal.contains(QStringLiteral("ProgramName = newcomer")), qPrintable(refusal));
        QVERIFY2(refusal.contains(QStringLiteral("ProgramName = victim")), qPrintable(refusal));
        QCOMPARE(run(*newcomer, QStringLiteral("select 4")), QStringLiteral("4"));
        QVERIFY(loggedOutcomes().value(0).startsWith(QStringLiteral("отказано: SPID = ") + spid));
    }

    // Neither the window's connection nor its worker's may be killed from the window: refused
    // before the operator is asked; both sessions go on.
    void killOfTheMonitorsOwnSessionsIsRefused()
    {
        auto w = window(QStringLiteral("WHO"), 1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active() && w->QueryThread->SessionId() > 0
                                     && commandsOfTheWindow().size() == 2 && w->Query->recordCount() > 0,
                                 10000);
        confirmWith(QMessageBox::Yes);
        QStringList own;
        for (int row = 0; row < w->Query->viewRowCount(); ++row) {
            if (w->Query->displayText(row, w->Query->fieldIndex(QStringLiteral("ProgramName"))).trimmed() == Application)
                own << spidOf(*w, row);
        }
        QCOMPARE(own.size(), 2);
        QVERIFY(own.contains(QString::number(w->QueryThread->SessionId())));
        for (const QString& spid : own) {
            const int column = w->Query->fieldIndex(QStringLiteral("SPID"));
            for (int row = 0; row < w->Query->viewRowCount(); ++row) {
                if (w->Query->displayText(row, column).trimmed() == spid)
                    w->Query->setRecNo(row + 1);
            }
            click(*w, 0);
        }
        QCOMPARE(program->boxes.messages.size(), 2);
        for (const ShownMessage& box : program->boxes.messages) {
            QCOMPARE(box.type, MessageType::Warning);
            QVERIFY2(box.text.contains(QStringLiteral("— сеанс самого монитора")), qPrintable(box.text));
        }
        QCOMPARE(commandsOfTheWindow().size(), 2);
        const int counted = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) > counted, 5000);
        QCOMPARE(loggedOutcomes().size(), 2);
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    // Every command the menu runs gets its line: done, failed with the server's error, refused,
    // and cancelled by the operator.
    void actionLogHoldsEveryCommand()
    {
        addScript(QStringLiteral("BROKEN"), "exec sp_who2", QStringLiteral("Сломанная"), "select * from no_such_table_q");
        const std::unique_ptr<Connection> bystander = session(QStringLiteral("bystander"));
        auto w = window(QStringLiteral("WHO"), 0);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active() && rowOf(*w, QStringLiteral("bystander")) >= 0, 10000);
        const QString spid = spidOf(*w, rowOf(*w, QStringLiteral("bystander")));
        w->Query->setRecNo(rowOf(*w, QStringLiteral("bystander")) + 1);
        click(*w, 1);
        confirmWith(QMessageBox::No);
        click(*w, 0);
        w->Query->setRecNo(rowOf(*w, Application) + 1);
        click(*w, 0);
        QCOMPARE(run(*bystander, QStringLiteral("select 5")), QStringLiteral("5"));
        auto broken = window(QStringLiteral("BROKEN"), 0);
        broken->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(broken->Query->active() && broken->Query->recordCount() > 0, 10000);
        click(*broken, 0);

        QFile file(ActionLogPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\t"));
        const QString who = QLatin1Char('\t') + TestDatabase::mssqlDsn() + QLatin1Char('\t') + TestDatabase::user() + QLatin1Char('\t');
        for (const QString& line : lines)
            QVERIFY2(line.contains(stamp) && line.contains(who), qPrintable(line));
        QVERIFY2(lines[0].contains(QStringLiteral("\tdbcc inputbuffer(") + spid), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(QStringLiteral("\tkill %1\t").arg(spid)), qPrintable(lines[1]));
        const QStringList outcomes = loggedOutcomes();
        QCOMPARE(outcomes[0], QStringLiteral("выполнена"));
        QCOMPARE(outcomes[1], QStringLiteral("отменена"));
        QVERIFY2(outcomes[2].startsWith(QStringLiteral("отказано: SPID = ")), qPrintable(outcomes[2]));
        QVERIFY2(outcomes[3].startsWith(QStringLiteral("ошибка: ")) && outcomes[3].contains(QStringLiteral("no_such_table_q")),
                 qPrintable(outcomes[3]));
        QVERIFY2(lines[3].contains(QStringLiteral("\tselect * from no_such_table_q\t")), qPrintable(lines[3]));
    }

    // With SPID as the key and CPUTime and DiskIO as running totals, a session that starts working
    // tops the window sorted by its processor time per second within two refreshes.
    void busySessionTopsTheCpuRate()
    {
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral(
                                        "create or replace function quillon_burn(seconds float) returns bigint language plpgsql as $$"
                                        " declare n bigint := 0; begin"
                                        " while clock_timestamp() < statement_timestamp() + seconds * interval '1 second' loop"
                                        " n := n + 1; end loop; return n; end $$"),
                                    nullptr, &error),
                 qPrintable(error));
        program->folder.write(QStringLiteral("Config/Options.ini"), "[WHO]\r\nKeyColumns=SPID\r\nCumulativeColumns=CPUTime,DiskIO\r\n");
        const QString busyProgram = QStringLiteral("busy");
        const std::unique_ptr<Connection> busy = session(busyProgram);
        auto w = window(QStringLiteral("WHO"), 1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active() && rowOf(*w, busyProgram) >= 0, 10000);
        const int rate = w->Query->fieldIndex(QStringLiteral("CPUTime/с"));
        QCOMPARE(rate, 8);
        QCOMPARE(w->Query->fieldName(10), QStringLiteral("DiskIO/с"));
        w->DBGridTitleBtnClick(rate);
        w->DBGridTitleBtnClick(rate);
        QCOMPARE(w->Query->sort(), QStringLiteral("[CPUTime/с] DESC"));

        std::thread burner([&busy] {
            try {
                run(*busy, QStringLiteral("select quillon_burn(8) as n"));
            } catch (const QuillonError&) {
                // Cancelled at the end of a failed test.
            }
        });
        const auto stopBurning = qScopeGuard([&] {
            busy->cancel();
            burner.join();
        });
        const int before = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= before + 2, 10000);
        QCOMPARE(w->Query->displayText(0, w->Query->fieldIndex(QStringLiteral("ProgramName"))).trimmed(), busyProgram);
        QVERIFY2(w->Query->displayText(0, rate).toDouble() > 100, qPrintable(w->Query->displayText(0, rate)));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Message), QString());
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    // Sessions as the grid shows them at a refresh, by program name: those that vanished left out,
    // and the mark of each.
    static QMap<QString, int> shownSessions(const TFormMon& w)
    {
        QMap<QString, int> shown;
        const int column = w.Query->fieldIndex(QStringLiteral("ProgramName"));
        const QAbstractItemModel& model = *w.DBGrid->model();
        for (int row = 0; row < model.rowCount(); ++row)
            shown.insert(model.index(row, column).data().toString().trimmed(), model.index(row, 0).data(DataSetModel::MarkRole).toInt());
        return shown;
    }

    // The sample's sp_Who2 options key the sessions: one that comes is marked new, one that goes is
    // marked gone; thirty refreshes back the grid shows what it showed then, with the operator's row,
    // and "Сейчас" returns to the newest with that row still current.
    void historyStepsBackThirtyRefreshes()
    {
        const std::unique_ptr<Connection> keeper = session(QStringLiteral("keeper"));
        std::unique_ptr<Connection> comer;
        auto w = window(QStringLiteral("WHO"), 1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active() && rowOf(*w, QStringLiteral("keeper")) >= 0, 10000);
        QVERIFY(w->History->Marking());
        w->Query->setRecNo(rowOf(*w, QStringLiteral("keeper")) + 1);
        const auto currentProgram = [&w] { return w->Query->fieldTextByName(QStringLiteral("ProgramName")).trimmed(); };
        const int appeared = int(DataSetModel::CellMark::RowAppeared);
        const int vanished = int(DataSetModel::CellMark::RowVanished);

        // What the grid showed at each refresh, by the refresh's place in the history.
        QMap<qint64, QStringList> seen;
        bool comerMarkedNew = false;
        bool comerMarkedGone = false;
        int counted = refreshes(*w);
        for (int refresh = 0; refresh < 33;) {
            QTest::qWait(20);
            if (refreshes(*w) == counted)
                continue;
            counted = refreshes(*w);
            ++refresh;
            const QMap<QString, int> shown = shownSessions(*w);
            QStringList live;
            for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
                if (it.value() != vanished)
                    live << it.key();
            }
            const ResultHistory& history = w->History->History();
            seen.insert(history.firstSerial() + history.size() - 1, live);
            comerMarkedNew = comerMarkedNew || shown.value(QStringLiteral("comer"), 0) == appeared;
            comerMarkedGone = comerMarkedGone || (shown.contains(QStringLiteral("comer")) && shown.value(QStringLiteral("comer")) == vanished);
            QCOMPARE(currentProgram(), QStringLiteral("keeper"));
            if (refresh == 3)
                comer = session(QStringLiteral("comer"));
            if (refresh == 8)
                comer.reset();
        }
        QVERIFY(comerMarkedNew);
        QVERIFY(comerMarkedGone);

        const ResultHistory& history = w->History->History();
        const int back = history.size() - 1 - 30;
        QVERIFY(back >= 0);
        w->History->ShowFrame(back);
        QVERIFY(w->History->ShowingPast());
        QStringList then;
        const QMap<QString, int> shown = shownSessions(*w);
        for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
            if (it.value() != vanished)
                then << it.key();
        }
        QVERIFY(seen.contains(history.firstSerial() + back));
        QCOMPARE(then, seen.value(history.firstSerial() + back));
        QCOMPARE(currentProgram(), QStringLiteral("keeper"));
        w->HistoryControls->acNow->trigger();
        QVERIFY(!w->History->ShowingPast());
        const int now = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) > now, 5000);
        QCOMPARE(currentProgram(), QStringLiteral("keeper"));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    // A command that would put the program name bare into its statement is refused before it runs.
    void craftedProgramNameIsNoStatement()
    {
        const QString crafted = QStringLiteral("51; kill 52");
        const std::unique_ptr<Connection> victim = session(crafted);
        addScript(QStringLiteral("WHOBARE"), "exec sp_who2", QStringLiteral("Завершить по программе"), "kill %ProgramName%",
                  QStringLiteral("ProgramName"));
        auto w = window(QStringLiteral("WHOBARE"), 1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active() && rowOf(*w, crafted) >= 0, 10000);
        w->Query->setRecNo(rowOf(*w, crafted) + 1);
        click(*w, 0);
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Значение поля ProgramName не может быть подставлено в команду."));
        QCOMPARE(run(*victim, QStringLiteral("select 3")), QStringLiteral("3"));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    // Stop cancels a pass that waits on the server: the stand-in sees an ATTENTION and stops waiting.
    void stopCancelsALongWaitfor()
    {
        addScript(QStringLiteral("WAITING"), "waitfor delay '00:01:00'\r\nselect 1 as spid");
        auto w = window(QStringLiteral("WAITING"), 30);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(commandsOfTheWindow().contains(QStringLiteral("WAITFOR")), 10000);
        QElapsedTimer timer;
        timer.start();
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!w->Working);
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Message), QString());
        QTRY_VERIFY_WITH_TIMEOUT(!commandsOfTheWindow().contains(QStringLiteral("WAITFOR")), 10000);
        QVERIFY(program->boxes.messages.isEmpty());
    }

    // The command wait box's Cancel stops a command that waits on the server.
    void commandWaitBoxCancelsAWaitfor()
    {
        addScript(QStringLiteral("ONE"), "select 1 as spid", QStringLiteral("Долгая"),
                  "waitfor delay '00:01:00'\r\nselect 1 as x", {}, 1);
        auto w = window(QStringLiteral("ONE"), 0);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        bool waited = false;
        program->modals.next<CommandWaitBox>([&](CommandWaitBox* box) {
            waited = QTest::qWaitFor([] { return commandsOfTheWindow().contains(QStringLiteral("WAITFOR")); }, 10000);
            QTest::mouseClick(box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        });
        click(*w, 0);
        QVERIFY(program->modals.failures.isEmpty());
        QVERIFY(waited);
        QVERIFY(results.isEmpty());
        QVERIFY(program->boxes.messages.isEmpty());
        QVERIFY(!commandsOfTheWindow().contains(QStringLiteral("WAITFOR")));
        QVERIFY(w->ADOC->connected());
    }

    // The server goes away: the window turns Offline; once it is back, Start works again.
    void serverStoppedAndRestarted()
    {
        TdsStandIn standIn;
        QVERIFY(standIn.start());
        auto w = window(QStringLiteral("WHO"), 1, standIn.server());
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= 1, 10000);
        standIn.stop();
        QTRY_VERIFY_WITH_TIMEOUT(w->StatusBar->PanelText(StatusPanel::Message).contains(QStringLiteral("Offline")), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 5000);
        QVERIFY(!w->Working);
        QVERIFY(standIn.start());
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= 1, 15000);
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Message), QString());
        QVERIFY(rowOf(*w, Application) >= 0);
        QVERIFY2(program->boxes.messages.isEmpty(), qPrintable(program->boxes.messages.value(0).text));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    // A type the program does not know shows the driver's text; a reply cut in a row is a failed pass.
    void oddServers()
    {
        addScript(QStringLiteral("VARIANT"), "select '42' as \"v:sql_variant(int)\", 'текст' as \"w:sql_variant(nvarchar(10))\"");
        addScript(QStringLiteral("CUT"), "-- tds-standin: cut mid-row\r\nselect 'a' as spid union all select 'b'");
        auto w = window(QStringLiteral("VARIANT"), 0);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        QCOMPARE(w->Query->displayText(0, 0), QStringLiteral("42"));
        QCOMPARE(w->Query->displayText(0, 1), QStringLiteral("текст"));
        QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 5000);
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Message), QString());

        auto cut = window(QStringLiteral("CUT"), 1);
        cut->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(cut->StatusBar->PanelText(StatusPanel::Message).contains(QStringLiteral("Offline")), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(cut->IndicatorState, Indicator::Red, 5000);
        QVERIFY(!cut->Query->active());
        QVERIFY2(program->boxes.messages.isEmpty(), qPrintable(program->boxes.messages.value(0).text));
    }
};

QTEST_MAIN(TestMssqlMonitor)
#include "tst_mssql_monitor.moc"
