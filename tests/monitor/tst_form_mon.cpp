#include "BoundedCall.h"
#include "DatabaseTest.h"
#include "StoppedBackend.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "TestDatabase.h"

#include "app/ServiceClasses.h"
#include "connection/Connect.h"
#include "connection/QueryThread.h"
#include "data/connection/Connection.h"
#include "data/Query.h"
#include "monitor/FormMon.h"
#include "monitor/GridCopy.h"
#include "monitor/MonitorStatusBar.h"

#include <QClipboard>
#include <QComboBox>
#include <QMimeData>
#include <QStandardItemModel>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QAbstractItemModelTester>
#include <QtTest>

// The monitor window and its worker against the real test server.
class TestFormMon : public DatabaseTest {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    // The windows' sessions carry a name of their own, so that ending them leaves the other
    // tests' sessions alone.
    static inline const QString Application = QStringLiteral("Quillon monitor test");

    std::unique_ptr<TFormMon> window(int interval, int queryIndex = 0, const QString& connectionString = {})
    {
        return ShowMonitor({.connectionString = connectionString.isEmpty() ? TestDatabase::pgConnectionString(Application) : connectionString,
                            .server = TestDatabase::pgDsn(),
                            .interval = interval,
                            .queryIndex = queryIndex,
                            .templateDir = QStringLiteral("T\\")});
    }

    static int refreshes(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::CounterLow).toInt(); }

    // The long script is running on the server.
    static bool sleepyPassRunning()
    {
        return StoppedBackend::activeBackend(Application, QStringLiteral("pg_sleep(20)")) > 0;
    }

    static void stopBounded(TFormMon& w)
    {
        BoundedCall("Stop", [&w] { w.acStart->trigger(); });
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>(QMessageBox::Cancel, "[Main]\r\nSLEEP_INTERVAL=20\r\n");
        program->startApp();
        // Entries are named by their scripts' sort order: 1 rows, 2 other columns, ...
        program->writeCatalogue({{QStringLiteral("1rows"), "select g as id, 'n' || g as name\r\nfrom generate_series(1, 5) g order by g"},
                                 {QStringLiteral("2wide"), "select g as id, g * 2 as twice, repeat('x', 500) as tag from generate_series(1, 3) g"},
                                 {QStringLiteral("3empty"), ""},
                                 {QStringLiteral("4many"), "select g as id, 'n' || g as name from generate_series(1, 200) g"},
                                 {QStringLiteral("5sleepy"), "select pg_sleep(20) is null as slept, 8 as id"}});
    }

    void cleanup() { program.reset(); }

    void startFillsGridAndCountsRefreshes()
    {
        auto w = window(1);
        QAbstractItemModelTester tester(w->DBGrid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(w->windowTitle(), TestDatabase::pgDsn());
        QCOMPARE(w->UpDown->value(), 1);
        QCOMPARE(w->cmBox->count(), 5);
        const QMenu* popup = w->PopupMenu;
        QCOMPARE(popup->actions().size(), 6);
        QCOMPARE(popup->actions()[0], w->acStart);
        QCOMPARE(popup->actions()[1], w->acSetFilter);
        QVERIFY(popup->actions()[2]->isSeparator());
        QCOMPARE(popup->actions()[3], w->acExit);
        QVERIFY(popup->actions()[4]->isSeparator());
        QCOMPARE(popup->actions()[5], w->acCopy);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w->DBGrid, Qt::Key_S, Qt::AltModifier);
        QVERIFY(w->Working);
        QVERIFY(w->acStart->isChecked());
        QCOMPARE(w->IndicatorState, Indicator::Lime);
        QCOMPARE(IndicatorColour(w->IndicatorState), QColor(0, 255, 0));
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        QCOMPARE(w->Query->recordCount(), 5);
        QCOMPARE(w->DBGrid->model()->rowCount(), 5);
        QCOMPARE(w->DBGrid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("name"));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Position), QStringLiteral("1:5"));
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= 3, 15000);
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterHigh), QStringLiteral("0"));
        stopBounded(*w);
        QVERIFY(!w->Working);
        QVERIFY(!w->acStart->isChecked());
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterLow), QStringLiteral("0"));
        QCOMPARE(w->IndicatorState, Indicator::Green);
        // The grid keeps the last rows after Stop.
        QCOMPARE(w->Query->recordCount(), 5);
    }

    void intervalZeroRunsOnce()
    {
        auto w = window(0);
        w->acStart->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 10000);
        QVERIFY(w->Query->active());
        QVERIFY(!w->Working);
        QVERIFY(!w->acStart->isChecked());
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterHigh), QStringLiteral("0"));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterLow), QStringLiteral("0"));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Position), QStringLiteral("1:5"));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Message), QString());
        // Start again: a new worker replaces the one that ended by itself.
        w->acStart->trigger();
        QVERIFY(w->Working);
        QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 10000);
    }

    void killedSessionGoesOffline()
    {
        auto w = window(1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= 1, 10000);
        QString error;
        // The program's sessions carry its application name.
        QString killed;
        QVERIFY2(TestDatabase::psql(QStringLiteral("select count(pg_terminate_backend(pid)) from pg_stat_activity "
                                                   "where application_name = '") + Application + QStringLiteral("'"),
                                    &killed, &error),
                 qPrintable(error));
        // The window's own session and the worker's; one of an earlier test may still be ending.
        QVERIFY2(killed.toInt() >= 2, qPrintable(killed));
        QTRY_VERIFY_WITH_TIMEOUT(w->StatusBar->PanelText(StatusPanel::Message).contains(QStringLiteral("Offline")), 15000);
        const QString text = w->StatusBar->PanelText(StatusPanel::Message);
        QVERIFY2(QRegularExpression(QStringLiteral("^ \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - Offline - Ошибки исполнения "
                                                   "скрипта или соединения с сервером\\.$"))
                     .match(text)
                     .hasMatch(),
                 qPrintable(text));
        // The end updates follow the Offline text in a call of their own.
        QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 5000);
        QVERIFY(!w->Working);
        QVERIFY(!w->acStart->isChecked());
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterLow), QStringLiteral("0"));
        QVERIFY(!w->Query->filtered());
        QVERIFY(program->boxes.messages.isEmpty());
        // The last rows stay, greyed, until the next hand-over.
        QCOMPARE(w->Query->recordCount(), 5);
        const QPalette inherited = w->Body->palette();
        QCOMPARE(w->DBGrid->palette().color(QPalette::Active, QPalette::Text), inherited.color(QPalette::Disabled, QPalette::Text));
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= 1, 10000);
        QCOMPARE(w->DBGrid->palette().color(QPalette::Active, QPalette::Text), inherited.color(QPalette::Active, QPalette::Text));
        stopBounded(*w);
    }

    void copyPutsTheRowWithItsTitlesOnTheClipboard()
    {
        auto w = window(1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        w->DBGrid->setCurrentIndex(w->DBGrid->model()->index(1, 0));
        w->DBGrid->setFocus();
        QTest::keyClick(w->DBGrid, Qt::Key_C, Qt::ControlModifier);
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(copied->text(), QStringLiteral("id\tname\n2\tn2\n"));
        QVERIFY2(copied->html().contains(QStringLiteral("<tr><th>id</th><th>name</th></tr>\n<tr><td>2</td><td>n2</td></tr>")),
                 qPrintable(copied->html()));
        stopBounded(*w);

        // Cells of the selected rows and columns that are not selected stay empty; a tab or line
        // break inside a value would split the cell, markup in a value stays text.
        QStandardItemModel cells(3, 2);
        cells.setHorizontalHeaderLabels({QStringLiteral("a<b"), QStringLiteral("c")});
        cells.setItem(0, 1, new QStandardItem(QStringLiteral("x\ty\nz")));
        cells.setItem(2, 0, new QStandardItem(QStringLiteral("<i>")));
        const CopiedCells some = CopyGridCells(cells, {cells.index(2, 0), cells.index(0, 1)}, 1);
        QCOMPARE(some.Text, QStringLiteral("a<b\tc\n\tx y z\n<i>\t\n"));
        QVERIFY2(some.Html.contains(QStringLiteral("<th>a&lt;b</th>")) && some.Html.contains(QStringLiteral("<td>&lt;i&gt;</td>")),
                 qPrintable(some.Html));
        QVERIFY(CopyGridCells(cells, {}, -1).Text.isEmpty());
    }

    void columnWidthsFitTheFirstFillAndStayTheOperators()
    {
        auto w = window(1);
        QHeaderView* header = w->DBGrid->horizontalHeader();
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        QVERIFY2(header->sectionSize(0) < header->defaultSectionSize(), qPrintable(QString::number(header->sectionSize(0))));
        header->resizeSection(1, 170);
        const int before = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= before + 2, 15000);
        QCOMPARE(header->sectionSize(1), 170);
        stopBounded(*w);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= 1, 10000);
        QCOMPARE(header->sectionSize(1), 170);
        // Another script with the same column names keeps them.
        w->cmBox->setCurrentIndex(3);
        QTRY_COMPARE_WITH_TIMEOUT(w->Query->recordCount(), 200, 15000);
        QCOMPARE(header->sectionSize(1), 170);
        // Other columns are fitted anew, none wider than a third of the grid.
        w->cmBox->setCurrentIndex(1);
        QTRY_COMPARE_WITH_TIMEOUT(w->Query->fieldCount(), 3, 15000);
        QVERIFY(header->sectionSize(2) > header->defaultSectionSize());
        QVERIFY(header->sectionSize(2) <= w->DBGrid->viewport()->width() / 3);
        QVERIFY(header->sectionSize(0) < header->defaultSectionSize());
        stopBounded(*w);
    }

    void stopDuringLongPassCancelsIt()
    {
        auto w = window(30, 4);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(sleepyPassRunning(), 10000);
        QElapsedTimer timer;
        timer.start();
        stopBounded(*w);
        qInfo("Stop returned after %lld ms", timer.elapsed());
        // The statement was cancelled: nothing handed over, and no Offline text.
        QVERIFY(!w->Query->active());
        QVERIFY(!w->Working);
        QCOMPARE(w->IndicatorState, Indicator::Green);
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterLow), QStringLiteral("0"));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Message), QString());
        // And the window starts again.
        w->UpDown->setValue(0);
        w->cmBox->setCurrentIndex(0);
        w->acStart->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 10000);
        QCOMPARE(w->Query->recordCount(), 5);
    }

    void stopOnASilentServerReturnsWithinSeconds()
    {
        auto w = window(30, 4);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(sleepyPassRunning(), 10000);
        StoppedBackend silent(StoppedBackend::activeBackend(Application, QStringLiteral("pg_sleep(20)")));
        QVERIFY(silent.stopped());
        QElapsedTimer timer;
        timer.start();
        stopBounded(*w);
        const qint64 elapsed = timer.elapsed();
        qInfo("Stop returned after %lld ms", elapsed);
        QVERIFY2(elapsed < 15000, qPrintable(QString::number(elapsed)));
        QVERIFY(!w->Working);
        QVERIFY(!w->QueryThread);
        QCOMPARE(w->IndicatorState, Indicator::Green);
    }

    void closingOnASilentServerReturnsWithinSeconds()
    {
        auto w = window(30, 4);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(sleepyPassRunning(), 10000);
        StoppedBackend silent(StoppedBackend::activeBackend(Application, QStringLiteral("pg_sleep(20)")));
        QVERIFY(silent.stopped());
        QElapsedTimer timer;
        timer.start();
        BoundedCall("Closing the window", [&w] { w.reset(); });
        qInfo("Closing returned after %lld ms", timer.elapsed());
        QVERIFY(program->folder.read(QStringLiteral("Config/Connections.ini")).contains("Sleep=30"));
    }

    void sortAndCurrentRowSurviveRefreshes()
    {
        auto w = window(1);
        QAbstractItemModelTester tester(w->DBGrid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        // Two clicks on the first column's title: ascending, then descending.
        QHeaderView* header = w->DBGrid->horizontalHeader();
        const QPoint title(header->sectionViewportPosition(0) + header->sectionSize(0) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(w->Query->sort(), QStringLiteral("[id]"));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(w->Query->sort(), QStringLiteral("[id] DESC"));
        QCOMPARE(w->DBGridGetBtnParams(0), SortMarker::Descending);
        QCOMPARE(w->DBGrid->model()->headerData(0, Qt::Horizontal, Qt::UserRole + 1).toInt(), 1);
        w->DBGrid->setCurrentIndex(w->DBGrid->model()->index(2, 0));
        QCOMPARE(w->Query->recNo(), 3);
        QCOMPARE(w->Query->fieldText(0), QStringLiteral("3"));
        header->resizeSection(1, 123);
        // The same rows again change nothing the grid shows: it is not rebuilt.
        QSignalSpy resets(w->DBGrid->model(), &QAbstractItemModel::modelReset);
        QSignalSpy cells(w->DBGrid->model(), &QAbstractItemModel::dataChanged);
        const int before = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= before + 2, 15000);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(cells.count(), 0);
        QCOMPARE(header->sectionSize(1), 123);
        QCOMPARE(w->DBGrid->model()->index(0, 0).data().toString(), QStringLiteral("5"));
        QCOMPARE(w->Query->sort(), QStringLiteral("[id] DESC"));
        QCOMPARE(w->Query->fieldTag(0), 1);
        QCOMPARE(w->Query->recNo(), 3);
        QCOMPARE(w->Query->fieldText(0), QStringLiteral("3"));
        QCOMPARE(w->DBGrid->currentIndex().row(), 2);
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Position), QStringLiteral("3:5"));
        stopBounded(*w);
    }

    // The selected entry's options reach the worker: a rate column beside the running total, kept
    // sorted across refreshes. An options file that cannot be read is told, and the rows come plain.
    void scriptOptionsGiveRateColumns()
    {
        program->folder.write(QStringLiteral("Config/Options.ini"), "[2wide]\r\nKeyColumns=id\r\nCumulativeColumns=TWICE\r\n");
        auto w = window(1, 1);
        const auto titles = [&w] {
            QStringList names;
            for (int i = 0; i < w->Query->fieldCount(); ++i)
                names << w->Query->fieldName(i);
            return names;
        };
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        QCOMPARE(titles(), (QStringList{"id", "twice", "twice/с", "tag"}));
        QVERIFY(w->Query->isNull(0, 2));
        w->DBGridTitleBtnClick(2);
        const int before = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= before + 2, 15000);
        QCOMPARE(w->Query->sort(), QStringLiteral("[twice/с]"));
        QCOMPARE(w->DBGridGetBtnParams(2), SortMarker::Ascending);
        // The totals stand still.
        QCOMPARE(w->Query->displayText(0, 2), QStringLiteral("0"));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Message), QString());
        stopBounded(*w);

        QFile::remove(program->folder.file(QStringLiteral("Config/Options.ini")));
        QVERIFY(QDir().mkpath(program->folder.file(QStringLiteral("Config/Options.ini"))));
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= 1, 10000);
        QCOMPARE(titles(), (QStringList{"id", "twice", "tag"}));
        const QString message = w->StatusBar->PanelText(StatusPanel::Message);
        QVERIFY2(message.contains(QStringLiteral("Ошибка чтения файла параметров скриптов: "))
                     && message.endsWith(QStringLiteral("Options.ini")),
                 qPrintable(message));
        stopBounded(*w);
    }

    void scriptChangeWhileRunningLoadsNewScript()
    {
        auto w = window(1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        w->DBGridTitleBtnClick(0);
        QCOMPARE(w->Query->fieldTag(0), 2);
        w->cmBox->setCurrentIndex(1);
        QTRY_COMPARE_WITH_TIMEOUT(w->Query->fieldCount(), 3, 15000);
        // Other columns: the markers are gone, the sort text stays and still applies.
        QCOMPARE(w->Query->fieldTag(0), 0);
        QCOMPARE(w->Query->sort(), QStringLiteral("[id]"));
        QCOMPARE(w->Query->recNo(), 1);
        QVERIFY(w->Working);
        stopBounded(*w);
    }

    void scriptChangeWhileStoppedRunsAtNextStart()
    {
        auto w = window(0);
        w->cmBox->setCurrentIndex(1);
        QVERIFY(!w->QueryThread);
        w->acStart->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 10000);
        QCOMPARE(w->Query->fieldCount(), 3);
    }

    void emptyScriptDoesNotStart()
    {
        auto w = window(1, 2);
        w->acStart->trigger();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].type, MessageType::Error);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Ошибка загрузки SQL-скрипта"));
        QCOMPARE(program->boxes.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QVERIFY(!w->Working);
        QVERIFY(!w->acStart->isChecked());
        QVERIFY(!w->QueryThread);
        QCOMPARE(w->IndicatorState, Indicator::Green);
    }

    void emptyCatalogueStartActsAsStop()
    {
        program->folder.write(QStringLiteral("Config/Sensors.ini"), "");
        program->app->LoadSensors();
        auto w = window(1);
        QCOMPARE(w->cmBox->count(), 0);
        w->acStart->trigger();
        QVERIFY(!w->Working);
        QVERIFY(!w->acStart->isChecked());
        QCOMPARE(w->IndicatorState, Indicator::Green);
        QVERIFY(program->boxes.messages.isEmpty());
    }

    void refreshKeepsTheViewWhereTheOperatorScrolled()
    {
        auto w = window(1, 3);
        w->resize(900, 300);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        QScrollBar* rows = w->DBGrid->verticalScrollBar();
        QVERIFY(rows->maximum() > 40);

        // The current row above the rows in view.
        w->DBGrid->setCurrentIndex(w->DBGrid->model()->index(2, 0));
        rows->setValue(30);
        int before = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= before + 2, 15000);
        QCOMPARE(rows->value(), 30);
        QCOMPARE(w->DBGrid->currentIndex().row(), 2);
        QCOMPARE(w->Query->recNo(), 3);

        // The current row below them.
        w->DBGrid->setCurrentIndex(w->DBGrid->model()->index(39, 0));
        rows->setValue(0);
        before = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= before + 2, 15000);
        QCOMPARE(rows->value(), 0);
        QCOMPARE(w->Query->recNo(), 40);
        stopBounded(*w);
    }

    void sortTheNextScriptCannotTakeIsDropped()
    {
        auto w = window(1);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        w->DBGridTitleBtnClick(1);
        QCOMPARE(w->Query->sort(), QStringLiteral("[name]"));
        // The next script has no "name": its rows arrive unsorted and the refresh goes on.
        w->cmBox->setCurrentIndex(1);
        QTRY_COMPARE_WITH_TIMEOUT(w->Query->fieldCount(), 3, 15000);
        const int before = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= before + 2, 15000);
        QCOMPARE(w->Query->sort(), QString());
        QVERIFY(w->SortFields.isEmpty());
        QCOMPARE(w->DBGridGetBtnParams(1), SortMarker::None);
        QCOMPARE(w->IndicatorState, Indicator::Lime);
        // A click now sorts by the new result's column.
        w->DBGridTitleBtnClick(1);
        QCOMPARE(w->Query->sort(), QStringLiteral("[twice]"));
        stopBounded(*w);

        // The same across Stop, a script change and Start.
        w->DBGridTitleBtnClick(2);
        w->cmBox->setCurrentIndex(0);
        w->acStart->trigger();
        const int restarted = refreshes(*w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*w) >= restarted + 2, 15000);
        QCOMPARE(w->Query->fieldCount(), 2);
        QCOMPARE(w->Query->sort(), QString());
        stopBounded(*w);
    }

    void startAfterTheServerWentAwayWarns()
    {
        // A login of its own, so that refusing it new sessions leaves the other tests alone.
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral("drop role if exists quillon_gone; "
                                                   "create role quillon_gone login password 'gone'; "
                                                   "grant connect on database quillon to quillon_gone"),
                                    nullptr, &error),
                 qPrintable(error));
        auto w = window(0, 0,
                        QStringLiteral("Data Source=%1;User ID=quillon_gone;Password=gone;Application Name=\"Quillon\"")
                            .arg(TestDatabase::pgDsn()));
        w->acStart->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 10000);
        QVERIFY(w->ADOC->connected());

        // The server goes away for this login: its sessions end and new ones are refused.
        QVERIFY2(TestDatabase::psql(QStringLiteral("alter role quillon_gone nologin; "
                                                   "select count(pg_terminate_backend(pid)) from pg_stat_activity "
                                                   "where usename = 'quillon_gone'"),
                                    nullptr, &error),
                 qPrintable(error));
        w->acStart->trigger();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].type, MessageType::Warning);
        QCOMPARE(program->boxes.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QVERIFY2(program->boxes.messages[0].text.endsWith(QStringLiteral("\nСервер '%1' завершил текущее соединение.").arg(TestDatabase::pgDsn())),
                 qPrintable(program->boxes.messages[0].text));
        QVERIFY(!w->ADOC->connected());
        QVERIFY(!w->Working);
        w.reset();
        TestDatabase::psql(QStringLiteral("drop role if exists quillon_gone"));
    }

    void unreachableServerWarnsAtStart()
    {
        auto w = window(1, 0,
                        QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;User ID=%2;Password=wrong")
                            .arg(TestDatabase::pgDsn(), TestDatabase::user()));
        w->acStart->trigger();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].type, MessageType::Warning);
        QCOMPARE(program->boxes.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - \nСервер '%1' "
                                                   "завершил текущее соединение\\.$")
                                        .arg(QRegularExpression::escape(TestDatabase::pgDsn())))
                     .match(program->boxes.messages[0].text)
                     .hasMatch(),
                 qPrintable(program->boxes.messages[0].text));
        QVERIFY(!w->Working);
        QVERIFY(!w->QueryThread);
    }

    void refreshCounterWrapsAt100000()
    {
        auto w = window(1);
        w->StatusBar->SetPanelText(StatusPanel::CounterLow, QStringLiteral("99999"));
        w->StatusBar->CountRefresh();
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterHigh), QStringLiteral("0"));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterLow), QStringLiteral("100000"));
        w->StatusBar->CountRefresh();
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterHigh), QStringLiteral("1"));
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::CounterLow), QStringLiteral("1"));
    }

    void destructionWritesProfile()
    {
        {
            auto w = window(7, 9);
            QCOMPARE(w->cmBox->currentIndex(), -1);
            QCOMPARE(w->ConnectInfo->QueryIndex, -1);
        }
        const QByteArray profile = program->folder.read(QStringLiteral("Config/Connections.ini"));
        QCOMPARE(profile, QByteArray("[") + TestDatabase::pgDsn().toUtf8()
                              + "]\r\nSleep=7\r\nConnectionTimeout=0\r\nCommandTimeout=0\r\nHeight=500\r\n"
                                "Width=900\r\nWindowState=0\r\nQueryIndex=-1\r\nTemplateDir=T\\\r\n");
    }

    void noScriptSelectedStartsTheFirst()
    {
        {
            auto w = window(0, -1);
            w->acStart->trigger();
            QCOMPARE(w->cmBox->currentIndex(), 0);
            QTRY_COMPARE_WITH_TIMEOUT(w->IndicatorState, Indicator::Red, 10000);
        }
        QVERIFY(program->folder.read(QStringLiteral("Config/Connections.ini")).contains("QueryIndex=0\r\n"));
    }

    void twoWindowsOnOneServer()
    {
        auto first = window(1);
        auto second = window(1, 1);
        first->acStart->trigger();
        second->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(*first) >= 2 && refreshes(*second) >= 2, 15000);
        QCOMPARE(first->Query->fieldCount(), 2);
        QCOMPARE(second->Query->fieldCount(), 3);
        stopBounded(*first);
        QVERIFY(second->Working);
        second.reset();
        first.reset();
        QVERIFY(program->folder.read(QStringLiteral("Config/Connections.ini")).contains("QueryIndex=0\r\n"));
    }
};

QTEST_MAIN(TestFormMon)
#include "tst_form_mon.moc"
