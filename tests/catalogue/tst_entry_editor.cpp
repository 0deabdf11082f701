#include "FileDialogs.h"
#include "ProgramFixture.h"
#include "Widgets.h"

#include "app/EvenAdvanceFont.h"
#include "app/ModalResult.h"
#include "catalogue/FormEditScript.h"
#include "catalogue/FormRule.h"
#include "catalogue/FormScriptMenuEditor.h"
#include "catalogue/RuleListEditor.h"
#include "platform/QuillonError.h"
#include "platform/TextCodec.h"

#include <QCheckBox>
#include <QMenu>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

// The entry editor: what it shows in each mode, what its apply writes, in which order and what a
// failed step leaves, and the command menu page that hands items to the item editor.
class TestEntryEditor : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;

    void start(const QString& sensors, const QString& menus = {})
    {
        program->folder.write(QStringLiteral("Config/Sensors.ini"), ToCp1251(sensors));
        if (!menus.isEmpty())
            program->folder.write(QStringLiteral("Config/Menus.ini"), ToCp1251(menus));
        program->startApp()->LoadSensors();
    }

    QByteArray bytes(const QString& relative) const { return program->folder.read(relative); }

    static QStringList column(const QTableWidget* grid, int column)
    {
        QStringList texts;
        for (int row = 1; row < grid->rowCount(); ++row)
            texts << (grid->item(row, column) ? grid->item(row, column)->text() : QString());
        return texts;
    }

    static QStringList names()
    {
        QStringList result;
        for (const auto& entry : App->Sensors)
            result << entry->Name;
        return result;
    }

    // The item editor that the next command opens gets act.
    void onItemEditor(std::function<void(TFormScriptMenuEditor*)> act) { program->modals.next<TFormScriptMenuEditor>(std::move(act)); }

    // How many item editors the command opened; each is cancelled.
    int itemEditorsOpenedBy(const std::function<void()>& command)
    {
        int opened = 0;
        const auto closer = program->modals.watch<TFormScriptMenuEditor>([&opened](TFormScriptMenuEditor*) { ++opened; });
        command();
        return opened;
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        QDir(program->folder.path()).mkpath(QStringLiteral("Scripts"));
    }

    void cleanup()
    {
        program->verifyModals();
        program.reset();
    }

    void showsTheEntryByMode()
    {
        start(QStringLiteral("Процессы;WHO;Scripts\\who.sql\r\n"),
              QStringLiteral("[who]\r\n0=b;B;x.sql;spid;1\r\n1=A;A;y.sql;;0\r\n"));
        program->folder.write(QStringLiteral("Scripts/who.sql"), "exec sp_Who2\r\nselect 1\r\n");
        program->folder.write(QStringLiteral("Config/Options.ini"),
                              "[who]\r\nKeyColumns= SPID ,,Login\r\nCumulativeColumns=CPUTime\r\n");
        const struct {
            EditorMode mode;
            const char* caption;
            bool editable;
        } modes[] = {{EditorMode::View, "Просмотр", false},
                     {EditorMode::Edit, "Редактировать", true},
                     {EditorMode::Delete, "Удалить", false}};
        for (const auto& [mode, caption, editable] : modes) {
            TFormEditScript editor(mode, 0, nullptr);
            QCOMPARE(editor.windowTitle(), QString::fromUtf8(caption));
            QCOMPARE(editor.Edit1->text(), QStringLiteral("WHO"));
            QCOMPARE(editor.Edit2->text(), QStringLiteral("Процессы"));
            QCOMPARE(editor.Edit3->text(), QStringLiteral("Scripts\\who.sql"));
            QCOMPARE(editor.rchEdit->toPlainText(), QStringLiteral("exec sp_Who2\nselect 1"));
            QVERIFY(!editor.Edit1->isEnabled());
            for (QWidget* control : std::initializer_list<QWidget*>{editor.Edit2, editor.Edit3, editor.BitBtn3, editor.rchEdit,
                                                                    editor.edKeyColumns, editor.edCumulativeColumns})
                QCOMPARE(control->isEnabled(), editable);
            QCOMPARE(editor.edKeyColumns->text(), QStringLiteral("SPID, Login"));
            QCOMPARE(editor.edCumulativeColumns->text(), QStringLiteral("CPUTime"));
            if (editable)
                QCOMPARE(editor.focusWidget(), editor.Edit2);
            // The section is found without regard to case and read sorted.
            QCOMPARE(column(editor.strGrid, 1), (QStringList{"A", "B"}));
            QCOMPARE(column(editor.strGrid, 3), (QStringList{"y.sql", "x.sql"}));
            QCOMPARE(editor.PageControl1->currentIndex(), 0);
            for (QAction* command : {editor.acIns, editor.acView, editor.acEdit, editor.acDel})
                QVERIFY(command->isEnabled());
        }

        TFormEditScript add(EditorMode::Add, -1, nullptr);
        QCOMPARE(add.windowTitle(), QStringLiteral("Добавить"));
        QVERIFY(add.Edit1->text().isEmpty() && add.Edit2->text().isEmpty() && add.rchEdit->toPlainText().isEmpty());
        QCOMPARE(add.focusWidget(), add.Edit1);
        QCOMPARE(add.Edit3->text(), QDir::toNativeSeparators(program->folder.path() + QStringLiteral("/Scripts/")));
        for (QWidget* control : std::initializer_list<QWidget*>{add.Edit1, add.Edit2, add.Edit3, add.BitBtn3, add.rchEdit,
                                                                add.edKeyColumns, add.edCumulativeColumns})
            QVERIFY(control->isEnabled());
        QVERIFY(add.edKeyColumns->text().isEmpty() && add.edCumulativeColumns->text().isEmpty());
        QCOMPARE(add.strGrid->rowCount(), 2);
        QVERIFY(add.Menus.empty());
        QStringList tabs;
        for (int page = 0; page < add.PageControl1->count(); ++page)
            tabs << add.PageControl1->tabText(page);
        QCOMPARE(tabs, (QStringList{"Скрипт", "Вспомогательное меню", "Параметры"}));
        const CaptionTable captions{{"Label1", "Идентификатор"},
                                    {"Label2", "Наименование"},
                                    {"Label3", "Скрипт-файл"},
                                    {"lblKeyColumns", "Ключевые столбцы"},
                                    {"lblCumulativeColumns", "Накопительные столбцы"},
                                    {"lblOptionsHint", "Через запятую. Для накопительных столбцов рядом показывается "
                                                       "изменение в секунду; строки сопоставляются по ключевым столбцам."},
                                    {"BitBtn1", "Применить"},
                                    {"BitBtn2", "Отменить"}};
        const QStringList wrong = CaptionMismatches(&add, captions);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
        // One focus ring: the page tabs, the fields, the buttons and back to the page control, which
        // hands its focus to its tabs.
        QCOMPARE(TabOrder(add.PageControl1->tabBar(), 15),
                 (QStringList{"qt_tabwidget_tabbar", "Edit1", "Edit2", "Edit3", "BitBtn3", "rchEdit", "strGrid",
                              "edKeyColumns", "edCumulativeColumns", "lstRules", "btnAddRule", "btnEditRule",
                              "btnDeleteRule", "BitBtn1", "BitBtn2", "PageControl1"}));
        QCOMPARE(add.PageControl1->focusProxy(), add.PageControl1->tabBar());
        QVERIFY(add.BitBtn1->isDefault());
        QCOMPARE(add.rchEdit->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(add.rchEdit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(add.rchEdit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(HasEvenAdvances(add.rchEdit->font()));
    }

    void toolBarFollowsTheCaptionSettingWhenShown()
    {
        start(QStringLiteral("A;1;a.sql\r\n"));
        App->ShowCaptions = false;
        TFormEditScript editor(EditorMode::View, 0, nullptr);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(editor.ToolBar1->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(editor.PageControl1->currentIndex(), 0);
        QStringList texts;
        for (QAction* action : editor.ToolBar1->actions())
            texts << action->text();
        QCOMPARE(texts, (QStringList{"Добавить", "Просмотр", "Редактировать", "Удалить"}));
        editor.PageControl1->setCurrentIndex(1);
        for (QAction* action : editor.ToolBar1->actions()) {
            QWidget* button = editor.ToolBar1->widgetForAction(action);
            QVERIFY(button->isVisible());
            QVERIFY(editor.ToolBar1->rect().contains(button->geometry()));
        }
    }

    void addWithTheFolderAsFileStaysOpenAndAddsNothing()
    {
        start(QStringLiteral("B;2;b.sql\r\n"));
        TFormEditScript editor(EditorMode::Add, -1, nullptr);
        editor.show();
        editor.Edit1->setText(QStringLiteral("1"));
        editor.Edit2->setText(QStringLiteral("Аудит"));
        editor.rchEdit->setPlainText(QStringLiteral("select 'ё'\nfrom t"));
        const QString folderField = editor.Edit3->text();
        editor.BitBtn1->click();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Cannot create file ") + folderField);
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.Edit2->text(), QStringLiteral("Аудит"));
        QCOMPARE(editor.rchEdit->toPlainText(), QStringLiteral("select 'ё'\nfrom t"));
        QCOMPARE(bytes(QStringLiteral("Config/Sensors.ini")), QByteArray("B;2;b.sql\r\n"));
        QCOMPARE(names(), QStringList{"B"});

        // Corrected, the same editor adds the entry.
        editor.Edit3->setText(QStringLiteral("Scripts\\audit.sql"));
        editor.BitBtn1->click();
        QVERIFY(!editor.isVisible());
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Scripts/audit.sql")), ToCp1251(QStringLiteral("select 'ё'\r\nfrom t\r\n")));
        QCOMPARE(bytes(QStringLiteral("Config/Sensors.ini")),
                 ToCp1251(QStringLiteral("B;2;b.sql\r\nАудит;1;Scripts\\audit.sql\r\n")));
        QCOMPARE(names(), (QStringList{"B", "Аудит"}));
    }

    void refusesTheDelimiterInAField_data()
    {
        QTest::addColumn<EditorMode>("mode");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("message");
        const QString message = QStringLiteral("Поле '%1' не может содержать символ '%2': этим символом разделяются поля записи в файле.");
        QTest::newRow("identifier, add") << EditorMode::Add << 1 << QStringLiteral(";") << message.arg("Идентификатор", ";");
        QTest::newRow("name, add") << EditorMode::Add << 2 << QStringLiteral(";") << message.arg("Наименование", ";");
        QTest::newRow("name, edit") << EditorMode::Edit << 2 << QStringLiteral(";") << message.arg("Наименование", ";");
        // The last field would read back whole, but a line is not written with a field that holds it.
        QTest::newRow("script file, edit") << EditorMode::Edit << 3 << QStringLiteral(";") << message.arg("Скрипт-файл", ";");
        QTest::newRow("the delimiter set") << EditorMode::Edit << 2 << QStringLiteral("|") << message.arg("Наименование", "|");
    }
    void refusesTheDelimiterInAField()
    {
        QFETCH(EditorMode, mode);
        QFETCH(int, field);
        QFETCH(QString, delimiter);
        QFETCH(QString, message);
        const QByteArray catalogue = QStringLiteral("B;2;Scripts\\b.sql\r\n").replace(u';', delimiter).toLatin1();
        program->folder.write(QStringLiteral("Config/quillon.ini"), "[Main]\r\nINI_DELIMITER=" + delimiter.toLatin1() + "\r\n");
        start(QString::fromLatin1(catalogue));
        TFormEditScript editor(mode, 0, nullptr);
        editor.show();
        if (mode == EditorMode::Add)
            editor.Edit1->setText(QStringLiteral("1"));
        editor.Edit2->setText(QStringLiteral("Аудит"));
        editor.Edit3->setText(QStringLiteral("Scripts\\audit.sql"));
        editor.rchEdit->setPlainText(QStringLiteral("select 1"));
        QLineEdit* const edit = field == 1 ? editor.Edit1 : field == 2 ? editor.Edit2 : editor.Edit3;
        // The other delimiter is any other character.
        edit->setText(QStringLiteral("до;после|") + edit->text());
        editor.BitBtn1->click();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].text, message);
        QVERIFY(editor.isVisible());
        QCOMPARE(edit->selectedText(), delimiter);
        QCOMPARE(bytes(QStringLiteral("Config/Sensors.ini")), catalogue);
        QVERIFY(!QFile::exists(program->folder.file(QStringLiteral("Scripts/audit.sql"))));
    }

    void addWhoseCatalogueWriteFailsAddsOnceWhenApplied()
    {
        start(QStringLiteral("B;2;b.sql\r\n"));
        App->SensorsFile = QStringLiteral("Later\\Sensors.ini");
        TFormEditScript editor(EditorMode::Add, -1, nullptr);
        editor.show();
        editor.Edit1->setText(QStringLiteral("1"));
        editor.Edit2->setText(QStringLiteral("A"));
        editor.Edit3->setText(QStringLiteral("Scripts/a.sql"));
        editor.BitBtn1->click();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Cannot create file ")
                                                + QDir::toNativeSeparators(App->AppPath + QStringLiteral("Later/Sensors.ini")));
        QVERIFY(editor.isVisible());
        QCOMPARE(names(), QStringList{"B"});
        // The script file, written first, stays written.
        QCOMPARE(bytes(QStringLiteral("Scripts/a.sql")), QByteArray());

        QDir(program->folder.path()).mkpath(QStringLiteral("Later"));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Later/Sensors.ini")), QByteArray("A;1;Scripts/a.sql\r\nB;2;b.sql\r\n"));
        QCOMPARE(names(), (QStringList{"A", "B"}));
    }

    void viewThenApplyRewritesTheScriptFile()
    {
        start(QStringLiteral("A;1;Scripts\\a.sql\r\nB;2;Scripts/missing.sql\r\n"));
        program->folder.write(QStringLiteral("Scripts/a.sql"), "select 1\nselect 2");
        const QByteArray catalogue = bytes(QStringLiteral("Config/Sensors.ini"));
        {
            TFormEditScript editor(EditorMode::View, 0, nullptr);
            editor.BitBtn1->click();
            QCOMPARE(editor.result(), int(mrOk));
        }
        QCOMPARE(bytes(QStringLiteral("Scripts/a.sql")), QByteArray("select 1\r\nselect 2\r\n"));
        {
            TFormEditScript editor(EditorMode::View, 1, nullptr);
            editor.BitBtn1->click();
        }
        QVERIFY(QFile::exists(program->folder.file(QStringLiteral("Scripts/missing.sql"))));
        QCOMPARE(bytes(QStringLiteral("Scripts/missing.sql")), QByteArray());
        QCOMPARE(bytes(QStringLiteral("Config/Sensors.ini")), catalogue);
        QVERIFY(program->boxes.messages.isEmpty());
    }

    void optionsAreWrittenWhenChangedAndApplied()
    {
        start(QStringLiteral("Процессы;WHO;Scripts\\who.sql\r\n"));
        // Blanks that a rewrite drops show whether the file was written. What the page does not
        // show stays as it was typed.
        const QByteArray options = ToCp1251(QStringLiteral("; заметка оператора\r\n[who]\r\nRule1=x\r\nHistoryMinutes=15\r\nKeyColumns= SPID , Login\r\n"
                                                           "CumulativeColumns=CPUTime\r\n[LOCKS]\r\nKeyColumns=spid\r\n"));
        program->folder.write(QStringLiteral("Config/Options.ini"), options);
        for (const EditorMode mode : {EditorMode::View, EditorMode::Edit}) {
            TFormEditScript editor(mode, 0, nullptr);
            editor.edKeyColumns->setText(QStringLiteral("SPID,Login,"));
            editor.BitBtn1->click();
            QCOMPARE(editor.result(), int(mrOk));
        }
        {
            TFormEditScript editor(EditorMode::Edit, 0, nullptr);
            editor.show();
            editor.edCumulativeColumns->setText(QStringLiteral("CPUTime, DiskIO"));
            editor.BitBtn2->click();
            QCOMPARE(editor.result(), int(mrCancel));
        }
        QCOMPARE(bytes(QStringLiteral("Config/Options.ini")), options);

        TFormEditScript editor(EditorMode::Edit, 0, nullptr);
        editor.edKeyColumns->clear();
        editor.edCumulativeColumns->setText(QStringLiteral(" CPUTime ,DiskIO"));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Config/Options.ini")),
                 ToCp1251(QStringLiteral("; заметка оператора\r\n[who]\r\nRule1=x\r\nHistoryMinutes=15\r\nCumulativeColumns=CPUTime,DiskIO\r\n"
                                         "[LOCKS]\r\nKeyColumns=spid\r\n")));
        QVERIFY(program->boxes.messages.isEmpty());
    }

    // The rule dialog checks the expression as it is typed and refuses one that does not read; a
    // rule that does is written with the options.
    void rulesAreEditedAndABadExpressionIsRefused()
    {
        start(QStringLiteral("Процессы;WHO;Scripts\\who.sql\r\n"));
        TFormEditScript editor(EditorMode::Edit, 0, nullptr);
        QString shownError;
        program->modals.next<TFormRule>([&](TFormRule* dialog) {
            dialog->edName->setText(QStringLiteral("Blocked"));
            dialog->edExpression->setText(QStringLiteral("[BlkBy] <>"));
            shownError = dialog->lblExpressionCheck->text();
            dialog->accept();
            QVERIFY(dialog->isVisible());
            dialog->reject();
        });
        editor.RuleList->btnAddRule->click();
        QVERIFY2(shownError.startsWith(QStringLiteral("Invalid filter expression")), qPrintable(shownError));
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages.front().text, shownError);
        QCOMPARE(editor.RuleList->lstRules->count(), 0);

        program->modals.next<TFormRule>([](TFormRule* dialog) {
            dialog->edName->setText(QStringLiteral("Blocked"));
            dialog->edExpression->setText(QStringLiteral("[BlkBy] <> '  .'"));
            QCOMPARE(dialog->lblExpressionCheck->text(), QStringLiteral("Условие читается"));
            dialog->seHold->setValue(5);
            dialog->cbNotify->setChecked(true);
            dialog->accept();
        });
        editor.RuleList->btnAddRule->click();
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Config/Options.ini")),
                 QByteArray("[WHO]\r\nRule1=Blocked;hold=5;notify;when=[BlkBy] <> '  .'\r\n"));
    }

    void addWritesItsOptionsOnceWhenAppliedAgain()
    {
        start(QStringLiteral("B;2;b.sql\r\n"));
        {
            TFormEditScript editor(EditorMode::Add, -1, nullptr);
            editor.Edit1->setText(QStringLiteral("1"));
            editor.Edit2->setText(QStringLiteral("A"));
            editor.Edit3->setText(QStringLiteral("Scripts/a.sql"));
            editor.BitBtn1->click();
            QCOMPARE(editor.result(), int(mrOk));
        }
        // No options typed, no file.
        QVERIFY(!QFile::exists(program->folder.file(QStringLiteral("Config/Options.ini"))));

        App->OptionsFile = QStringLiteral("Later\\Options.ini");
        TFormEditScript editor(EditorMode::Add, -1, nullptr);
        editor.show();
        editor.Edit1->setText(QStringLiteral("PG"));
        editor.Edit2->setText(QStringLiteral("Сеансы"));
        editor.Edit3->setText(QStringLiteral("Scripts/pg.sql"));
        editor.edKeyColumns->setText(QStringLiteral("pid, backend_start"));
        editor.BitBtn1->click();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Unable to write to ")
                                                + QDir::toNativeSeparators(App->AppPath + QStringLiteral("Later/Options.ini")));
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.edKeyColumns->text(), QStringLiteral("pid, backend_start"));
        QCOMPARE(names(), (QStringList{"A", "B"}));

        QDir(program->folder.path()).mkpath(QStringLiteral("Later"));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Later/Options.ini")), QByteArray("[PG]\r\nKeyColumns=pid,backend_start\r\n"));
        QCOMPARE(names(), (QStringList{"A", "B", "Сеансы"}));
    }

    void editWritesTheCatalogueSorted()
    {
        start(QStringLiteral("b;2;Scripts/b.sql\r\nc;3;c.sql\r\n"));
        TFormEditScript editor(EditorMode::Edit, 0, nullptr);
        editor.Edit2->setText(QStringLiteral("Д"));
        editor.Edit3->setText(QStringLiteral("Scripts\\d.sql"));
        editor.rchEdit->setPlainText(QStringLiteral("select 'д'\n"));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Config/Sensors.ini")), ToCp1251(QStringLiteral("c;3;c.sql\r\nД;2;Scripts\\d.sql\r\n")));
        QCOMPARE(bytes(QStringLiteral("Scripts/d.sql")), ToCp1251(QStringLiteral("select 'д'\r\n")));
        QVERIFY(!QFile::exists(program->folder.file(QStringLiteral("Scripts/b.sql"))));
        QCOMPARE(names(), (QStringList{"c", "Д"}));
    }

    void deleteRemovesTheLineAndLeavesScriptAndMenu()
    {
        // A line written by hand, with blanks around its delimiters, is found all the same.
        start(QStringLiteral("B;2;b.sql\r\n A ; 1 ; Scripts\\a.sql \r\nA;1;Scripts\\a.sql\r\n"),
              QStringLiteral("[1]\r\n0=c;C;c.sql;;0\r\n"));
        program->folder.write(QStringLiteral("Scripts/a.sql"), "select 1\r\n");
        const QByteArray menus = bytes(QStringLiteral("Config/Menus.ini"));
        QCOMPARE(names(), (QStringList{"A", "A", "B"}));
        TFormEditScript editor(EditorMode::Delete, 0, nullptr);
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Config/Sensors.ini")), QByteArray("B;2;b.sql\r\nA;1;Scripts\\a.sql\r\n"));
        QCOMPARE(names(), (QStringList{"A", "B"}));
        QCOMPARE(bytes(QStringLiteral("Scripts/a.sql")), QByteArray("select 1\r\n"));
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")), menus);
    }

    void everyCloseReloadsTheCatalogue()
    {
        start(QStringLiteral("A;1;a.sql\r\n"));
        for (int way = 0; way < 3; ++way) {
            App->Sensors[0]->Name = QStringLiteral("changed in memory");
            TFormEditScript editor(EditorMode::Edit, 0, nullptr);
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            if (way == 0)
                editor.BitBtn2->click();
            else if (way == 1)
                editor.acExit->trigger();
            else
                QTest::keyClick(&editor, Qt::Key_Escape);
            QCOMPARE(editor.result(), int(mrCancel));
            QVERIFY(!editor.isVisible());
            QCOMPARE(names(), QStringList{"A"});
        }
        QCOMPARE(bytes(QStringLiteral("Config/Sensors.ini")), QByteArray("A;1;a.sql\r\n"));
    }

    void commandThatDoesNotReadIsAnErrorItemThatCanBeDeleted()
    {
        start(QStringLiteral("A;1;a.sql\r\n"), QStringLiteral("[1]\r\n0=a;b;c;d;yes\r\n1=B;bb;b.sql;;1\r\n"));
        TFormEditScript editor(EditorMode::View, 0, nullptr);
        QCOMPARE(column(editor.strGrid, 2), (QStringList{"B", "Error 0"}));
        QCOMPARE(column(editor.strGrid, 1), (QStringList{"bb", "Пустой описатель"}));
        TFormScriptMenuEditor item(EditorMode::Delete, editor.Menus, 1, editor.Edit1->text(), &editor);
        item.BitBtn1->click();
        QCOMPARE(item.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")), QByteArray("[1]\r\n0=B;bb;b.sql;;1\r\n"));
    }

    void choosingTheScriptFileLoadsIt()
    {
        start(QStringLiteral("A;1;a.sql\r\n"));
        program->folder.write(QStringLiteral("Scripts/chosen.sql"), ToCp1251(QStringLiteral("select 'выбран'\r\n")));
        TFormEditScript editor(EditorMode::Edit, 0, nullptr);
        QString title;
        QString filter;
        QString start;
        program->modals.next<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            filter = dialog->selectedNameFilter();
            start = dialog->directory().absolutePath();
            ChooseFile(dialog, program->folder.file(QStringLiteral("Scripts/chosen.sql")));
        });
        editor.BitBtn3->click();
        QCOMPARE(title, QStringLiteral("Укажите файл содержащий SQL скрипт ..."));
        QCOMPARE(filter, QStringLiteral("SQL скрипты (*.sql)"));
        QCOMPARE(start, QDir(program->folder.file(QStringLiteral("Scripts"))).absolutePath());
        QCOMPARE(editor.OpenDlg->nameFilters(), (QStringList{"Все файлы (*.*)", "SQL скрипты (*.sql)"}));
        QCOMPARE(editor.Edit3->text(), QDir::toNativeSeparators(program->folder.file(QStringLiteral("Scripts/chosen.sql"))));
        QCOMPARE(editor.rchEdit->toPlainText(), QStringLiteral("select 'выбран'"));
    }

    void itemsOfANewEntryGoUnderTheIdentifierTyped()
    {
        start(QStringLiteral("B;2;b.sql\r\n"));
        TFormEditScript editor(EditorMode::Add, -1, nullptr);
        editor.PageControl1->setCurrentIndex(1);
        // Without items there is nothing to view, edit or delete.
        for (QAction* command : {editor.acView, editor.acEdit, editor.acDel})
            command->trigger();

        auto addItem = [&](const QString& id, const QString& name) {
            onItemEditor([id, name](TFormScriptMenuEditor* item) {
                item->Edit1->setText(id);
                item->Edit2->setText(name);
                item->Edit3->setText(QStringLiteral("Scripts\\") + name + QStringLiteral(".sql"));
                item->BitBtn1->click();
            });
            editor.acIns->trigger();
        };
        editor.Edit1->setText(QStringLiteral("NEW"));
        addItem(QStringLiteral("X"), QStringLiteral("b"));
        editor.Edit1->setText(QStringLiteral("LATER"));
        addItem(QStringLiteral("X"), QStringLiteral("a"));
        // The new item's row: the last with its identifier.
        QCOMPARE(column(editor.strGrid, 2), (QStringList{"b", "a"}));
        QCOMPARE(editor.strGrid->currentRow(), 2);

        // Cancelling the entry undoes nothing the item editor wrote.
        editor.BitBtn2->click();
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")),
                 QByteArray("[NEW]\r\n0=b;X;Scripts\\b.sql;;0\r\n[LATER]\r\n0=b;X;Scripts\\b.sql;;0\r\n"
                            "1=a;X;Scripts\\a.sql;;0\r\n"));
        QCOMPARE(bytes(QStringLiteral("Config/Sensors.ini")), QByteArray("B;2;b.sql\r\n"));
        QVERIFY(QFile::exists(program->folder.file(QStringLiteral("Scripts/a.sql"))));
    }

    void itemKeysBelongToTheMenuPage()
    {
        start(QStringLiteral("A;1;a.sql\r\n"), QStringLiteral("[1]\r\n0=a;P;p.sql;;0\r\n"));
        TFormEditScript editor(EditorMode::Edit, 0, nullptr);
        editor.show();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        editor.Edit2->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), editor.Edit2);
        QCOMPARE(itemEditorsOpenedBy([&] { QTest::keyClick(editor.Edit2, Qt::Key_Insert); }), 0);
        QCOMPARE(itemEditorsOpenedBy([&] { QTest::keyClick(editor.Edit2, Qt::Key_Delete, Qt::ControlModifier); }), 0);
        QVERIFY(editor.isVisible());

        editor.PageControl1->setCurrentIndex(1);
        editor.strGrid->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), editor.strGrid);
        const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {{Qt::Key_Insert, Qt::NoModifier},
                                                                  {Qt::Key_Return, Qt::AltModifier},
                                                                  {Qt::Key_Return, Qt::ControlModifier},
                                                                  {Qt::Key_Delete, Qt::ControlModifier}};
        for (const auto& [key, modifiers] : keys) {
            // The offscreen platform leaves no window active after a dialog closes.
            editor.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&editor));
            editor.strGrid->setFocus();
            QCOMPARE(itemEditorsOpenedBy([&] { QTest::keyClick(editor.strGrid, key, modifiers); }), 1);
        }
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        QStringList popup;
        for (QAction* action : editor.PopupMenu->actions())
            popup << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(popup, (QStringList{"Добавить", "Просмотр", "Редактировать", "Удалить", "-", "Выход"}));
        QTest::keyClick(editor.strGrid, Qt::Key_Escape);
        QCOMPARE(editor.result(), int(mrCancel));
    }

    void itemCommandsSelectTheRowWorkedOn()
    {
        start(QStringLiteral("A;1;a.sql\r\n"),
              QStringLiteral("[1]\r\n0=a;P;p.sql;;0\r\n1=b;Q;q.sql;;0\r\n2=c;R;r.sql;;0\r\n"));
        TFormEditScript editor(EditorMode::View, 0, nullptr);
        editor.strGrid->setCurrentCell(3, 1);
        onItemEditor([](TFormScriptMenuEditor* item) {
            QCOMPARE(item->Mode, EditorMode::Delete);
            QCOMPARE(item->Edit1->text(), QStringLiteral("R"));
            item->BitBtn1->click();
        });
        editor.acDel->trigger();
        QCOMPARE(column(editor.strGrid, 1), (QStringList{"P", "Q"}));
        QCOMPARE(editor.strGrid->currentRow(), 2);

        // A cancelled add selects the row of the identifier typed.
        onItemEditor([](TFormScriptMenuEditor* item) { item->Edit1->setText(QStringLiteral("P")); item->reject(); });
        editor.acIns->trigger();
        QCOMPARE(editor.strGrid->currentRow(), 1);

        const QPoint cell = editor.strGrid->visualRect(editor.strGrid->model()->index(2, 2)).center();
        onItemEditor([](TFormScriptMenuEditor* item) {
            QCOMPARE(item->Mode, EditorMode::Edit);
            QCOMPARE(item->Edit1->text(), QStringLiteral("Q"));
            item->reject();
        });
        editor.show();
        QTest::mouseClick(editor.strGrid->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(editor.strGrid->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(editor.strGrid->currentRow(), 2);
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")), QByteArray("[1]\r\n0=a;P;p.sql;;0\r\n1=b;Q;q.sql;;0\r\n"));
    }
};

QTEST_MAIN(TestEntryEditor)
#include "tst_entry_editor.moc"
