#include "BoundedCall.h"
#include "DatabaseTest.h"
#include "LockChain.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "ResultWindows.h"
#include "TestDatabase.h"

#include "data/display/BlockingTreeModel.h"
#include "data/Query.h"
#include "monitor/BlockingTree.h"
#include "monitor/FormMon.h"
#include "monitor/HistoryBar.h"
#include "monitor/MonitorStatusBar.h"

#include <QAbstractItemModelTester>
#include <QMenu>
#include <QTableView>
#include <QtTest>

namespace {

const QString Application = QStringLiteral("Quillon tree test");
const QString Head = QStringLiteral("Quillon tree A");
const QString Middle = QStringLiteral("Quillon tree B");
const QString Tail = QStringLiteral("Quillon tree C");

// The program folder of these tests: the sessions of the test's programs with whom each waits for,
// keyed by their process id, and a command that shows the program of the row it is given.
std::unique_ptr<ProgramFixture> TreeProgram()
{
    auto program = std::make_unique<ProgramFixture>(QMessageBox::No, "[Main]\r\nSLEEP_INTERVAL=20\r\n");
    program->startApp();
    program->writeCatalogue(
        {{QStringLiteral("LOCKS"),
          "select pid, coalesce((pg_blocking_pids(pid))[1], 0) as blocked_by,"
          " (extract(epoch from clock_timestamp() - state_change) * 1000)::bigint as wait_ms, application_name"
          " from pg_stat_activity where application_name like 'Quillon tree %' order by pid"}});
    program->folder.write(QStringLiteral("Config/Options.ini"),
                          "[LOCKS]\r\nKeyColumns=pid\r\nBlockedByColumn=blocked_by\r\nWaitColumn=wait_ms\r\n");
    program->folder.write(QStringLiteral("Config/Menus.ini"), "[LOCKS]\r\n0=Who;C;Scripts\\who.sql;pid;1\r\n");
    program->folder.write(QStringLiteral("Scripts/who.sql"),
                          "select application_name from pg_stat_activity where pid = %pid%");
    return program;
}

std::unique_ptr<Connection> Session(const QString& program)
{
    auto connection = std::make_unique<Connection>();
    connection->setConnectionString(TestDatabase::pgConnectionString(program));
    connection->open();
    return connection;
}

} // namespace

// The blocking tree of a monitor window on the test server, over sessions that really wait for each
// other's row locks.
class TestBlockingTree : public DatabaseTest {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    std::unique_ptr<LockChain> chain;
    QStringList results;

    static int refreshes(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::CounterLow).toInt(); }

    static void nextRefreshes(const TFormMon& w, int count)
    {
        const int before = refreshes(w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(w) >= before + count, 10000);
    }

    static QString programOf(const QModelIndex& index)
    {
        const QAbstractItemModel& model = *index.model();
        return index.siblingAtColumn(model.columnCount() - 1).data().toString();
    }

    // The tree as the operator sees it: each shown row's program and, where it has any, the count of
    // those waiting behind it, indented by depth; "+" marks a collapsed branch.
    static QStringList shown(const BlockingTree& tree, const QModelIndex& parent = {}, int depth = 0)
    {
        QStringList lines;
        const QAbstractItemModel& model = *tree.model();
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            const QString waiting = index.siblingAtColumn(1).data().toString();
            lines << QString(depth * 2, u' ') + programOf(index) + (waiting.isEmpty() ? QString() : u' ' + waiting)
                    + (model.hasChildren(index) && !tree.isExpanded(index) ? QStringLiteral(" +") : QString());
            if (tree.isExpanded(index))
                lines << shown(tree, index, depth + 1);
        }
        return lines;
    }

    static QModelIndex find(const BlockingTree& tree, const QString& name, const QModelIndex& parent = {})
    {
        const QAbstractItemModel& model = *tree.model();
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            if (programOf(index) == name)
                return index;
            if (const QModelIndex below = find(tree, name, index); below.isValid())
                return below;
        }
        return {};
    }

    // A window on the chain with its tree switched on, once the whole chain shows.
    std::unique_ptr<TFormMon> treeWindow()
    {
        chain = std::make_unique<LockChain>(Session, QStringLiteral("quillon_locks"), Head, Middle, Tail);
        auto w = ShowMonitor({.connectionString = TestDatabase::pgConnectionString(Application),
                              .server = TestDatabase::pgDsn(),
                              .interval = 1});
        QAbstractItemModel* model = w->Blocking->model();
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
        QAction* toggle = w->HistoryControls->acBlocking;
        if (toggle->isEnabled())
            qWarning("the tree is offered before there are rows");
        w->acStart->trigger();
        if (!QTest::qWaitFor([toggle] { return toggle->isEnabled(); }, 10000))
            qWarning("the tree is not offered");
        toggle->trigger();
        if (!QTest::qWaitFor([&w] { return shown(*w->Blocking).size() == 3; }, 10000))
            qWarning("the tree does not show the chain");
        return w;
    }

private Q_SLOTS:
    void init()
    {
        program = TreeProgram();
        results.clear();
        RecordResultWindows(&program->scope, [this](TFormViewResult* form) { results << form->rchEdit->toPlainText(); });
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral("drop table if exists quillon_locks;"
                                                   "create table quillon_locks(id int primary key, v int);"
                                                   "insert into quillon_locks values (1, 1), (2, 2);"
                                                   "alter table quillon_locks owner to %1").arg(TestDatabase::user()),
                                    nullptr, &error),
                 qPrintable(error));
    }

    void cleanup()
    {
        chain.reset();
        program.reset();
    }

    // The chain under its head, who counts both sessions behind it and the longer wait, in place of
    // the grid; it keeps the operator's row and the branch collapsed across refreshes.
    void threeLevelChainUnderItsHeadKeepingRowAndBranches()
    {
        auto w = treeWindow();
        BlockingTree& tree = *w->Blocking;
        QCOMPARE(shown(tree), (QStringList{Head + " 2", "  " + Middle + " 1", "    " + Tail}));
        QVERIFY(tree.isVisible());
        QVERIFY(!w->DBGrid->isVisible());
        const QModelIndex head = tree.model()->index(0, 0);
        QVERIFY(head.siblingAtColumn(2).data().toLongLong() > 0);
        // The session not blocked, the window's own, is not in the tree.
        QVERIFY(!find(tree, Application).isValid());

        tree.setCurrentIndex(find(tree, Middle));
        QCOMPARE(w->Query->fieldTextByName(QStringLiteral("application_name")), Middle);
        tree.collapse(find(tree, Middle));
        nextRefreshes(*w, 2);
        QCOMPARE(shown(tree), (QStringList{Head + " 2", "  " + Middle + " 1 +"}));
        QCOMPARE(programOf(tree.currentIndex()), Middle);
        QCOMPARE(w->Query->fieldTextByName(QStringLiteral("application_name")), Middle);
        tree.expand(find(tree, Middle));
        nextRefreshes(*w, 1);
        QCOMPARE(shown(tree).size(), 3);

        // Off again: the grid as it was, on the operator's row.
        w->HistoryControls->acBlocking->trigger();
        QVERIFY(w->DBGrid->isVisible());
        QCOMPARE(w->DBGrid->currentIndex().row() + 1, w->Query->recNo());
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    // The popup over a row of the tree runs its command for that row.
    void commandFromTheTreesPopupRunsForItsRow()
    {
        auto w = treeWindow();
        BlockingTree& tree = *w->Blocking;
        QCOMPARE(shown(tree).size(), 3);
        w->Query->setRecNo(1);
        QVERIFY(w->Query->fieldTextByName(QStringLiteral("application_name")) != Tail);
        const QModelIndex tail = find(tree, Tail);
        QVERIFY(tail.isValid());
        Q_EMIT tree.customContextMenuRequested(tree.visualRect(tail).center());
        QTRY_VERIFY(w->PopupMenu->isVisible());
        QCOMPARE(w->Query->fieldTextByName(QStringLiteral("application_name")), Tail);
        BoundedCall("The command", [&w] { w->PopupMenu->actions().value(0)->trigger(); });
        w->PopupMenu->close();
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 10000);
        QVERIFY2(results[0].contains(Tail), qPrintable(results[0]));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }
};

QTEST_MAIN(TestBlockingTree)
#include "tst_blocking_tree.moc"
