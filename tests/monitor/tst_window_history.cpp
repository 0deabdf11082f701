#include "BoundedCall.h"
#include "DatabaseTest.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "TestDatabase.h"

#include "data/display/DataSetModel.h"
#include "data/history/RecordingFile.h"
#include "data/Query.h"
#include "monitor/FormMon.h"
#include "monitor/FormRecording.h"
#include "monitor/HistoryBar.h"
#include "monitor/MonitorStatusBar.h"
#include "monitor/WindowHistory.h"
#include "platform/QuillonError.h"

#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QTextStream>
#include <QSlider>
#include <QTableView>
#include <QtTest>

namespace {

const QString Application = QStringLiteral("Quillon history test");

// The program folder of these tests: one script over the test's table, keyed by id, with a command.
std::unique_ptr<ProgramFixture> HistoryProgram()
{
    auto program = std::make_unique<ProgramFixture>(QMessageBox::No, "[Main]\r\nSLEEP_INTERVAL=20\r\n");
    program->startApp();
    program->writeCatalogue({{QStringLiteral("HIST"), "select id, v from quillon_history order by id"}});
    program->folder.write(QStringLiteral("Config/Options.ini"), "[HIST]\r\nKeyColumns=id\r\n");
    program->folder.write(QStringLiteral("Config/Menus.ini"), "[HIST]\r\n0=Touch;C;Scripts\\touch.sql;id;0\r\n");
    program->folder.write(QStringLiteral("Scripts/touch.sql"), "update quillon_history set v = v where id = %id%");
    return program;
}

std::unique_ptr<TFormMon> HistoryWindow()
{
    return ShowMonitor({.connectionString = TestDatabase::pgConnectionString(Application),
                        .server = TestDatabase::pgDsn(),
                        .interval = 1});
}

} // namespace

// A monitor window's history on the test server: the rows of a table that the test changes between
// refreshes, marked as they appear, vanish and change; earlier refreshes shown and left again with
// the operator's row kept; a recording written while the window runs, and one whose program was
// killed, replayed in a window of its own.
class TestWindowHistory : public DatabaseTest {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;

    static std::unique_ptr<TFormMon> window() { return HistoryWindow(); }

    static int refreshes(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::CounterLow).toInt(); }

    static void psql(const QString& sql)
    {
        QString error;
        QVERIFY2(TestDatabase::psql(sql, nullptr, &error), qPrintable(error));
    }

    // The next refresh after the table has changed.
    static void nextRefresh(const TFormMon& w)
    {
        const int count = refreshes(w);
        QTRY_VERIFY_WITH_TIMEOUT(refreshes(w) > count, 10000);
    }

    // Each shown row as "id:v", with its mark: "+" appeared, "-" vanished, "*" its v changed.
    static QStringList rows(const TFormMon& w)
    {
        QStringList shown;
        const QAbstractItemModel& model = *w.DBGrid->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            const auto mark = [&](int column) { return model.index(row, column).data(DataSetModel::MarkRole).toInt(); };
            QString text = model.index(row, 0).data().toString() + u':' + model.index(row, 1).data().toString();
            if (mark(0) == int(DataSetModel::CellMark::RowAppeared))
                text += u'+';
            else if (mark(0) == int(DataSetModel::CellMark::RowVanished))
                text += u'-';
            else if (mark(1) == int(DataSetModel::CellMark::CellChanged))
                text += u'*';
            shown << text;
        }
        return shown;
    }

    static QString currentId(const TFormMon& w) { return w.Query->fieldTextByName(QStringLiteral("id")); }

    static void selectId(TFormMon& w, const QString& id)
    {
        for (int row = 1; row <= w.Query->recordCount(); ++row) {
            w.Query->setRecNo(row);
            if (currentId(w) == id)
                return;
        }
        QFAIL(qPrintable(QStringLiteral("no row %1").arg(id)));
    }

    QStringList recordings() const
    {
        return QDir(program->folder.file(QStringLiteral("Recordings"))).entryList({QStringLiteral("*.qrec")}, QDir::Files);
    }

private Q_SLOTS:
    void init()
    {
        program = HistoryProgram();
        psql(QStringLiteral("drop table if exists quillon_history; create table quillon_history(id int, v int);"
                            "insert into quillon_history values (1, 10), (2, 20), (3, 30);"
                            "alter table quillon_history owner to %1").arg(TestDatabase::user()));
    }

    void cleanup() { program.reset(); }

    void changesAreMarkedAndEarlierRefreshesShownWithTheRowKept()
    {
        auto w = window();
        QVERIFY(w->HistoryControls->acMark->isChecked() == false);
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        // Key columns switch marking on.
        QVERIFY(w->History->Marking());
        QCOMPARE(rows(*w), (QStringList{"1:10", "2:20", "3:30"}));
        selectId(*w, QStringLiteral("3"));

        psql(QStringLiteral("insert into quillon_history values (4, 40); delete from quillon_history where id = 2;"
                            "update quillon_history set v = 11 where id = 1"));
        nextRefresh(*w);
        // The vanished row stands where it stood until the next refresh.
        QTRY_COMPARE_WITH_TIMEOUT(rows(*w), (QStringList{"1:11*", "2:20-", "3:30", "4:40+"}), 5000);
        QCOMPARE(currentId(*w), QStringLiteral("3"));
        nextRefresh(*w);
        QCOMPARE(rows(*w), (QStringList{"1:11", "3:30", "4:40"}));

        // Sorted by v descending, the first refresh comes back as it was, marks and all, with row 3 current.
        w->DBGridTitleBtnClick(1);
        w->DBGridTitleBtnClick(1);
        w->History->ShowFrame(0);
        QVERIFY(w->History->ShowingPast());
        QCOMPARE(rows(*w), (QStringList{"3:30", "2:20", "1:10"}));
        QCOMPARE(currentId(*w), QStringLiteral("3"));
        w->HistoryControls->Slider->setValue(1);
        QCOMPARE(rows(*w), (QStringList{"4:40+", "3:30", "2:20-", "1:11*"}));
        QVERIFY(w->HistoryControls->acNow->isEnabled());

        // Refreshes go on while the past is shown, and do not replace it.
        const int kept = w->History->History().size();
        QTRY_VERIFY_WITH_TIMEOUT(w->History->History().size() > kept, 5000);
        QCOMPARE(rows(*w), (QStringList{"4:40+", "3:30", "2:20-", "1:11*"}));

        // A command on a row of the past asks first; answered No, nothing runs.
        w->PopupMenu->actions().value(0)->trigger();
        QCOMPARE(program->boxes.messages.size(), 1);
        QVERIFY2(program->boxes.messages[0].text.startsWith(QStringLiteral("Строка показана из прошлого")),
                 qPrintable(program->boxes.messages[0].text));

        // Marking off: the same rows, without marks.
        w->HistoryControls->acMark->setChecked(false);
        QCOMPARE(rows(*w), (QStringList{"4:40", "3:30", "1:11"}));
        w->HistoryControls->acMark->setChecked(true);

        w->HistoryControls->acNow->trigger();
        QVERIFY(!w->History->ShowingPast());
        QCOMPARE(currentId(*w), QStringLiteral("3"));
        nextRefresh(*w);
        QCOMPARE(rows(*w), (QStringList{"4:40", "3:30", "1:11"}));
        QCOMPARE(currentId(*w), QStringLiteral("3"));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    void pinnedRefreshIsWhatChangesAreMarkedAgainst()
    {
        auto w = window();
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        w->HistoryControls->acPin->setChecked(true);
        psql(QStringLiteral("update quillon_history set v = 21 where id = 2"));
        nextRefresh(*w);
        nextRefresh(*w);
        // Two refreshes on, the change since the pinned one is still marked.
        QTRY_COMPARE_WITH_TIMEOUT(rows(*w), (QStringList{"1:10", "2:21*", "3:30"}), 5000);
        w->HistoryControls->acPin->setChecked(false);
        nextRefresh(*w);
        nextRefresh(*w);
        QCOMPARE(rows(*w), (QStringList{"1:10", "2:21", "3:30"}));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    void withoutKeysRowsAreMatchedByPositionAndTheWindowSaysSo()
    {
        program->folder.write(QStringLiteral("Config/Options.ini"), "");
        auto w = window();
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        QVERIFY(!w->History->Marking());
        w->HistoryControls->acMark->setChecked(true);
        nextRefresh(*w);
        psql(QStringLiteral("delete from quillon_history where id = 1"));
        nextRefresh(*w);
        // Row 1 of the result is now id 2: by position, every cell changed, and the last row vanished.
        QTRY_COMPARE_WITH_TIMEOUT(rows(*w), (QStringList{"2:20*", "3:30*", "3:30-"}), 5000);
        QVERIFY(w->HistoryControls->acMark->text().contains(QStringLiteral("по порядку")));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });
    }

    void recordingReplaysInAWindowOfItsOwn()
    {
        auto w = window();
        w->acStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->Query->active(), 10000);
        w->HistoryControls->acRecord->setChecked(true);
        QCOMPARE(recordings().size(), 1);
        QVERIFY(w->StatusBar->PanelText(StatusPanel::Message).contains(QStringLiteral("Запись: ")));
        const QString path = program->folder.file(QStringLiteral("Recordings/") + recordings().first());
        // The worker takes the recording up at its next hand-over.
        nextRefresh(*w);
        nextRefresh(*w);
        psql(QStringLiteral("insert into quillon_history values (5, 50)"));
        nextRefresh(*w);
        nextRefresh(*w);
        w->HistoryControls->acRecord->setChecked(false);
        QVERIFY(w->StatusBar->PanelText(StatusPanel::Message).contains(QStringLiteral("Запись остановлена: ")));
        BoundedCall("Stop", [&w] { w->acStart->trigger(); });

        TFormRecording replay(path);
        replay.show();
        const RecordingReader reader(path);
        QCOMPARE(reader.header().scriptId, QStringLiteral("HIST"));
        QCOMPARE(reader.header().keyColumns, QStringList{"id"});
        QVERIFY(reader.header().scriptText.contains(QStringLiteral("from quillon_history")));
        QVERIFY(reader.frameCount() >= 2);
        QCOMPARE(replay.History->History().size(), reader.frameCount());
        QCOMPARE(replay.Records->recordCount(), reader.frame(0).rowCount);
        replay.History->ShowNewest();
        QCOMPARE(replay.Records->recordCount(), 4);
        // The refresh where row 5 came is marked so.
        for (int i = 1; i < replay.History->History().size(); ++i) {
            replay.History->ShowFrame(i);
            if (replay.Records->recordCount() == 4) {
                const QModelIndex last = replay.DBGrid->model()->index(3, 0);
                QCOMPARE(last.data().toString(), QStringLiteral("5"));
                QCOMPARE(last.data(DataSetModel::MarkRole).toInt(), int(DataSetModel::CellMark::RowAppeared));
                break;
            }
        }
    }

    // The program killed while it records: every refresh written before stays readable and replays.
    void recordingOfAKilledProgramReplays()
    {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--record")});
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start();
        QVERIFY(child.waitForStarted());
        // The child tells its recording's path once it records.
        QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine(), 20000);
        const QString path = QString::fromUtf8(child.readLine()).trimmed();
        const auto removeFolder = qScopeGuard([&] { QDir(QFileInfo(path).absolutePath() + QStringLiteral("/..")).removeRecursively(); });
        int frames = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                try {
                    frames = RecordingReader(path).frameCount();
                } catch (const QuillonError&) {
                    frames = 0;
                }
                return frames >= 4;
            }(),
            20000);
        child.kill();
        QVERIFY(child.waitForFinished());

        TFormRecording replay(path);
        replay.show();
        QVERIFY(replay.History->History().size() >= frames);
        for (int i = 0; i < replay.History->History().size(); ++i) {
            replay.History->ShowFrame(i);
            QCOMPARE(replay.Records->recordCount(), 3);
        }
    }

    void aFileThatIsNoRecordingIsRefused()
    {
        program->folder.write(QStringLiteral("Recordings/note.qrec"), "not a recording\r\n");
        const QString path = program->folder.file(QStringLiteral("Recordings/note.qrec"));
        try {
            TFormRecording replay(path);
            QFAIL("opened");
        } catch (const QuillonError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("note.qrec")), qPrintable(error.message()));
        }
        QCOMPARE(program->folder.read(QStringLiteral("Recordings/note.qrec")), QByteArray("not a recording\r\n"));
    }
};

// The child the killed-program test kills: a window on the test server that records until it dies,
// in a program folder that only the parent removes.
int RecordUntilKilled()
{
    const std::unique_ptr<ProgramFixture> program = HistoryProgram();
    const auto window = HistoryWindow();
    window->acStart->trigger();
    window->HistoryControls->acRecord->setChecked(true);
    const QStringList files = QDir(program->folder.file(QStringLiteral("Recordings"))).entryList({QStringLiteral("*.qrec")}, QDir::Files);
    if (files.size() != 1)
        return 1;
    QTextStream(stdout) << program->folder.file(QStringLiteral("Recordings/") + files.first()) << Qt::endl;
    return QApplication::exec();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--record")))
        return RecordUntilKilled();
    TestWindowHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_history.moc"
