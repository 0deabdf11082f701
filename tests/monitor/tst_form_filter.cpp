#include "BoundedCall.h"
#include "DatabaseTest.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "Widgets.h"
#include "TestDatabase.h"

#include "connection/Connect.h"
#include "data/Query.h"
#include "monitor/FormFilter.h"
#include "monitor/FormMon.h"
#include "monitor/MonitorStatusBar.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QtTest>

// The row filter dialog on a monitor window that watches the real test server.
class TestFormFilter : public DatabaseTest {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;

    // Typed columns: numbers, variable text, fixed text, long text with blanks, and nulls.
    static constexpr char Rows[] =
        "select g as spid, (case when g % 2 = 0 then 'sleeping' else 'runnable' end)::varchar(20) as status, "
        "'x'::char(3) as code, (case when g = 3 then 'idle in transaction' else 'active' end)::text as note, "
        "(case when g = 4 then '' else 'host' || g end)::varchar(10) as host from generate_series(1, 6) g";

    static MonitorSettings settings()
    {
        return {.connectionString = TestDatabase::pgConnectionString(), .server = TestDatabase::pgDsn(), .interval = 1};
    }
    static std::unique_ptr<TFormMon> window() { return ShowMonitor(settings()); }
    static std::unique_ptr<TFormMon> started() { return StartMonitor(settings()); }

    static void choose(QWidget* dialog, const char* box, const QString& text)
    {
        auto* combo = Child<QComboBox>(dialog, box);
        combo->setCurrentIndex(combo->findText(text));
    }

    // Opens the dialog with Alt+F's action, lets act fill it, and returns once it has closed.
    void filterWith(TFormMon& w, const std::function<void(TFormFilter*)>& act)
    {
        program->modals.next<TFormFilter>(act);
        BoundedCall("the filter dialog", [&] { w.acSetFilter->trigger(); });
    }

    static QString message(const TFormMon& w) { return w.StatusBar->PanelText(StatusPanel::Message); }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>(QMessageBox::Ok, "[Main]\r\nSLEEP_INTERVAL=20\r\n");
        program->startApp();
        program->writeCatalogue({{QStringLiteral("a"), QStringLiteral("A"), Rows},
                                 {QStringLiteral("b"), QStringLiteral("B"), "select 1 as other"}});
    }

    void cleanup()
    {
        program->verifyModals();
        program.reset();
    }

    void dialogOpensEmptyWithSortedFields()
    {
        auto w = started();
        QStringList fields;
        bool quiet = true;
        filterWith(*w, [&](TFormFilter* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Фильтрация текущего набора данных"));
            auto* box = Child<QComboBox>(dialog, "cmBox1");
            for (int i = 0; i < box->count(); ++i)
                fields << box->itemText(i);
            QCOMPARE(Child<QComboBox>(dialog, "cmBox4")->count(), 6);
            for (const char* name : {"cmBox1", "cmBox2", "cmBox3", "cmBox4"})
                quiet = quiet && Child<QComboBox>(dialog, name)->currentIndex() == -1;
            QVERIFY(Child<QComboBox>(dialog, "cmBox2")->font().bold());
            Child<QPushButton>(dialog, "BitBtn2")->click();
        });
        QCOMPARE(fields, (QStringList{"code", "host", "note", "spid", "status"}));
        QVERIFY(quiet);
        QVERIFY(!w->acSetFilter->isChecked());
        QVERIFY(!w->Query->filtered());
    }

    void conditionsBuildTheExpressionByColumnKind_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expression");
        QTest::addColumn<int>("rows");
        QTest::newRow("number, bare") << "spid" << ">" << "2" << "[spid] > 2" << 4;
        QTest::newRow("variable text, quoted") << "status" << "=" << "sleeping" << "[status] = 'sleeping'" << 3;
        // The Unicode driver reports char(n) as wide fixed-length text, which is quoted.
        QTest::newRow("fixed wide text, quoted") << "code" << "=" << "x" << "[code] = 'x'" << 6;
        QTest::newRow("long text with blanks, bare") << "note" << "=" << "idle in transaction"
                                                     << "[note] = idle in transaction" << 1;
    }

    void conditionsBuildTheExpressionByColumnKind()
    {
        QFETCH(QString, field);
        QFETCH(QString, op);
        QFETCH(QString, value);
        auto w = started();
        filterWith(*w, [&](TFormFilter* dialog) {
            choose(dialog, "cmBox1", field);
            choose(dialog, "cmBox2", op);
            Child<QLineEdit>(dialog, "Edit1")->setText(value);
            Child<QPushButton>(dialog, "BitBtn1")->click();
        });
        QTEST(w->Query->filter(), "expression");
        QVERIFY(w->Query->filtered());
        QTEST(w->Query->recordCount(), "rows");
        QVERIFY(w->acSetFilter->isChecked());
        QCOMPARE(message(*w), QStringLiteral(" Фильтр включен: ") + w->Query->filter());
        QCOMPARE(w->StatusBar->PanelText(StatusPanel::Position), QStringLiteral("1:%1").arg(w->Query->recordCount()));
        // The filter holds through refreshes, and the same action switches it off at once.
        const int before = w->StatusBar->PanelText(StatusPanel::CounterLow).toInt();
        QTRY_VERIFY_WITH_TIMEOUT(w->StatusBar->PanelText(StatusPanel::CounterLow).toInt() >= before + 2, 15000);
        QVERIFY(w->Query->filtered());
        QCOMPARE(message(*w), QStringLiteral(" Фильтр включен: ") + w->Query->filter());
        w->acSetFilter->trigger();
        QVERIFY(!w->Query->filtered());
        QVERIFY(w->Query->filter().isEmpty());
        QVERIFY(!w->acSetFilter->isChecked());
        QCOMPARE(message(*w), QString());
        QCOMPARE(w->Query->recordCount(), 6);
    }

    void secondConditionJoinsByTheTickedBox()
    {
        auto w = started();
        filterWith(*w, [&](TFormFilter* dialog) {
            choose(dialog, "cmBox1", QStringLiteral("status"));
            choose(dialog, "cmBox2", QStringLiteral("="));
            Child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("sleeping"));
            Child<QCheckBox>(dialog, "chBox1")->click();
            // OR after AND unticks AND.
            Child<QCheckBox>(dialog, "chBox2")->click();
            QVERIFY(!Child<QCheckBox>(dialog, "chBox1")->isChecked());
            Child<QCheckBox>(dialog, "chBox1")->click();
            QVERIFY(!Child<QCheckBox>(dialog, "chBox2")->isChecked());
            // An empty value on a text column compares with the empty text.
            choose(dialog, "cmBox3", QStringLiteral("host"));
            choose(dialog, "cmBox4", QStringLiteral("="));
            Child<QPushButton>(dialog, "BitBtn1")->click();
        });
        QCOMPARE(w->Query->filter(), QStringLiteral("[status] = 'sleeping' AND [host] = ''"));
        QCOMPARE(w->Query->recordCount(), 1);
        QCOMPARE(w->Query->fieldTextByName(QStringLiteral("spid")), QStringLiteral("4"));
    }

    void clearThenApplySwitchesOffAndCancelChangesNothing()
    {
        auto w = started();
        filterWith(*w, [&](TFormFilter* dialog) {
            choose(dialog, "cmBox1", QStringLiteral("spid"));
            choose(dialog, "cmBox2", QStringLiteral("<"));
            Child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("3"));
            Child<QPushButton>(dialog, "BitBtn3")->click();
            QCOMPARE(Child<QComboBox>(dialog, "cmBox1")->currentIndex(), -1);
            QVERIFY(Child<QLineEdit>(dialog, "Edit1")->text().isEmpty());
            Child<QPushButton>(dialog, "BitBtn1")->click();
        });
        QVERIFY(!w->Query->filtered());
        QVERIFY(!w->acSetFilter->isChecked());
        filterWith(*w, [&](TFormFilter* dialog) {
            choose(dialog, "cmBox1", QStringLiteral("spid"));
            choose(dialog, "cmBox2", QStringLiteral("<"));
            Child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("3"));
            dialog->reject();
        });
        QVERIFY(!w->Query->filtered());
        QCOMPARE(w->Query->recordCount(), 6);
    }

    void rejectedExpressionKeepsTheDialogAndTheTextSwitchedOff()
    {
        auto w = started();
        bool stayedOpen = false;
        filterWith(*w, [&](TFormFilter* dialog) {
            choose(dialog, "cmBox1", QStringLiteral("spid"));
            choose(dialog, "cmBox2", QStringLiteral(">"));
            Child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("many"));
            Child<QPushButton>(dialog, "BitBtn1")->click();
            stayedOpen = dialog->isVisible() && Child<QLineEdit>(dialog, "Edit1")->text() == QStringLiteral("many");
            Child<QPushButton>(dialog, "BitBtn2")->click();
        });
        QVERIFY(stayedOpen);
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].type, MessageType::Error);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Ошибка вклчения фильтра.\nФильтр отключен."));
        QCOMPARE(program->boxes.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(w->Query->filter(), QStringLiteral("[spid] > many"));
        QVERIFY(!w->Query->filtered());
        QVERIFY(!w->acSetFilter->isChecked());
        QCOMPARE(message(*w), QString());
    }

    void beforeTheFirstStartTheListsAreEmpty()
    {
        auto w = window();
        int fields = -1;
        filterWith(*w, [&](TFormFilter* dialog) {
            fields = Child<QComboBox>(dialog, "cmBox1")->count();
            Child<QPushButton>(dialog, "BitBtn1")->click();
        });
        QCOMPARE(fields, 0);
        QVERIFY(!w->acSetFilter->isChecked());
    }

    void valuesOfTheChosenColumnAreOffered()
    {
        auto w = started();
        QStringList offered;
        filterWith(*w, [&](TFormFilter* dialog) {
            choose(dialog, "cmBox1", QStringLiteral("status"));
            const QCompleter* completer = Child<QLineEdit>(dialog, "Edit1")->completer();
            if (auto* model = qobject_cast<QStringListModel*>(completer ? completer->model() : nullptr))
                offered = model->stringList();
            dialog->reject();
        });
        QCOMPARE(offered, (QStringList{"runnable", "sleeping"}));
    }

    void oneEnterAppliesWhatTheValueBoxShows_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("chooseFromList");
        QTest::newRow("chosen from the open list") << QStringLiteral("sle") << true;
        QTest::newRow("typed whole, list still open") << QStringLiteral("sleeping") << false;
    }

    // The keyboard operator types, sees the list of values, and presses Enter once.
    void oneEnterAppliesWhatTheValueBoxShows()
    {
        QFETCH(QString, typed);
        QFETCH(bool, chooseFromList);
        auto w = started();
        filterWith(*w, [&](TFormFilter* dialog) {
            choose(dialog, "cmBox1", QStringLiteral("status"));
            choose(dialog, "cmBox2", QStringLiteral("="));
            auto* edit = Child<QLineEdit>(dialog, "Edit1");
            edit->setFocus();
            QTest::keyClicks(edit, typed);
            QAbstractItemView* list = edit->completer()->popup();
            // Under load the list shows before its values are filtered in: Down would find no row.
            QTRY_VERIFY(list->isVisible() && list->model()->rowCount() > 0);
            if (chooseFromList) {
                QTest::keyClick(list, Qt::Key_Down);
                QTRY_COMPARE(edit->text(), QStringLiteral("sleeping"));
            }
            QTest::keyClick(list, Qt::Key_Return);
            QTimer::singleShot(3000, dialog, [this, dialog] {
                if (!dialog->isVisible())
                    return;
                program->modals.failures << QStringLiteral("the dialog stayed open after one Enter");
                dialog->reject();
            });
        });
        QCOMPARE(w->Query->filter(), QStringLiteral("[status] = 'sleeping'"));
        QVERIFY(w->Query->filtered());
        QCOMPARE(w->Query->recordCount(), 3);
    }

    void stopAndScriptChangeSwitchTheFilterOff()
    {
        auto w = started();
        const auto filterOn = [&] {
            filterWith(*w, [&](TFormFilter* dialog) {
                choose(dialog, "cmBox1", QStringLiteral("spid"));
                choose(dialog, "cmBox2", QStringLiteral("<"));
                Child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("3"));
                Child<QPushButton>(dialog, "BitBtn1")->click();
            });
            QVERIFY(w->Query->filtered());
        };
        filterOn();
        w->cmBox->setCurrentIndex(1);
        QVERIFY(!w->Query->filtered());
        QVERIFY(!w->acSetFilter->isChecked());
        QCOMPARE(message(*w), QString());
        w->cmBox->setCurrentIndex(0);
        QTRY_COMPARE_WITH_TIMEOUT(w->Query->fieldCount(), 5, 15000);
        filterOn();
        BoundedCall("Stop", [&] { w->acStart->trigger(); });
        QVERIFY(!w->Query->filtered());
        QVERIFY(!w->acSetFilter->isChecked());
        QCOMPARE(message(*w), QString());
    }
};

QTEST_MAIN(TestFormFilter)
#include "tst_form_filter.moc"
