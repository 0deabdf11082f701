#include "FileDialogs.h"
#include "ProgramFixture.h"
#include "Widgets.h"

#include "app/ModalResult.h"
#include "catalogue/FormScriptMenuEditor.h"
#include "catalogue/MenuFile.h"
#include "platform/TextCodec.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The item editor: what it shows in each mode, and what its apply writes to the item list, the
// item's script file and the menu file, also when a step fails.
class TestItemEditor : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    SubScriptList menus;

    static std::unique_ptr<TSubScript> item(const QString& name, const QString& id, const QString& file,
                                            const QString& field = {}, int flag = 0)
    {
        auto result = std::make_unique<TSubScript>();
        result->Name = name;
        result->Id = id;
        result->ScriptFile = file;
        result->IdField = field;
        result->ShowResult = flag;
        return result;
    }

    QByteArray bytes(const QString& relative) const { return program->folder.read(relative); }
    bool exists(const QString& relative) const { return QFile::exists(program->folder.file(relative)); }

    QStringList listNames() const
    {
        QStringList names;
        for (const auto& entry : menus)
            names << entry->Name;
        return names;
    }

    static void fill(TFormScriptMenuEditor& editor, const QString& id, const QString& name, const QString& file,
                     const QString& text)
    {
        editor.Edit1->setText(id);
        editor.Edit2->setText(name);
        editor.Edit3->setText(file);
        editor.rchEdit->setPlainText(text);
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        QDir(program->folder.path()).mkpath(QStringLiteral("Scripts"));
        program->folder.write(QStringLiteral("Config/Sensors.ini"), "");
        program->startApp();
        menus.clear();
    }

    void cleanup()
    {
        program->verifyModals();
        menus.clear();
        program.reset();
    }

    void showsTheItemByMode()
    {
        program->folder.write(QStringLiteral("Scripts/k.sql"), "kill %spid%\r\n");
        menus.push_back(item(QStringLiteral("Снять"), QStringLiteral("KILL"), QStringLiteral("Scripts\\k.sql"),
                             QStringLiteral("spid"), 3));
        menus.push_back(item(QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("none.sql"), {}, 0x100));
        const struct {
            EditorMode mode;
            const char* caption;
            bool editable;
        } modes[] = {{EditorMode::View, "Просмотр", false},
                     {EditorMode::Edit, "Редактировать", true},
                     {EditorMode::Delete, "Удалить", false}};
        for (const auto& [mode, caption, editable] : modes) {
            TFormScriptMenuEditor editor(mode, menus, 0, QStringLiteral("WHO"), nullptr);
            QCOMPARE(editor.windowTitle(), QString::fromUtf8(caption));
            QCOMPARE(editor.Edit1->text(), QStringLiteral("KILL"));
            QCOMPARE(editor.Edit2->text(), QStringLiteral("Снять"));
            QCOMPARE(editor.Edit3->text(), QStringLiteral("Scripts\\k.sql"));
            QCOMPARE(editor.Edit4->text(), QStringLiteral("spid"));
            QVERIFY(editor.chBox1->isChecked());
            QCOMPARE(editor.rchEdit->toPlainText(), QStringLiteral("kill %spid%"));
            QVERIFY(!editor.Edit1->isEnabled());
            for (QWidget* control : std::initializer_list<QWidget*>{editor.Edit2, editor.Edit3, editor.BitBtn3,
                                                                     editor.Edit4, editor.chBox1, editor.rchEdit})
                QCOMPARE(control->isEnabled(), editable);
            if (editable)
                QCOMPARE(editor.focusWidget(), editor.Edit2);
        }
        // Only the low 8 bits of the flag count.
        TFormScriptMenuEditor second(EditorMode::View, menus, 1, QStringLiteral("WHO"), nullptr);
        QVERIFY(!second.chBox1->isChecked());
        QVERIFY(second.rchEdit->toPlainText().isEmpty());

        TFormScriptMenuEditor add(EditorMode::Add, menus, -1, QStringLiteral("WHO"), nullptr);
        QCOMPARE(add.windowTitle(), QStringLiteral("Добавить"));
        QCOMPARE(add.Edit3->text(), QStringLiteral("Scripts\\\\"));
        QVERIFY(add.Edit1->text().isEmpty() && add.Edit2->text().isEmpty() && add.Edit4->text().isEmpty());
        QVERIFY(!add.chBox1->isChecked());
        const CaptionTable captions{{"Label1", "Идентификатор"},         {"Label2", "Наименование"},
                                    {"Label3", "Скрипт-файл"},           {"Label4", "Идентифицирующее поле"},
                                    {"chBox1", "Отображать результат"}, {"BitBtn1", "Применить"},
                                    {"BitBtn2", "Отменить"}};
        const QStringList wrong = CaptionMismatches(&add, captions);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
        QCOMPARE(TabOrder(add.Edit1, 8),
                 (QStringList{"Edit1", "Edit2", "Edit3", "BitBtn3", "Edit4", "chBox1", "rchEdit", "BitBtn1", "BitBtn2"}));
        for (QWidget* control : std::initializer_list<QWidget*>{add.Edit1, add.Edit2, add.Edit3, add.BitBtn3,
                                                                 add.Edit4, add.chBox1, add.rchEdit})
            QVERIFY(control->isEnabled());
        QCOMPARE(add.OpenDlg->directory().absolutePath(), QDir(program->folder.file(QStringLiteral("Scripts"))).absolutePath());
        QVERIFY(add.BitBtn1->isDefault());
        QCOMPARE(menus.size(), std::size_t(2));
    }

    void addWithTheFolderAsFileStaysOpen()
    {
        TFormScriptMenuEditor editor(EditorMode::Add, menus, -1, QStringLiteral("WHO"), nullptr);
        editor.show();
        editor.Edit1->setText(QStringLiteral("KILL"));
        editor.Edit2->setText(QStringLiteral("Снять"));
        editor.Edit4->setText(QStringLiteral("spid"));
        editor.chBox1->setChecked(true);
        editor.rchEdit->setPlainText(QStringLiteral("kill %spid%"));
        editor.BitBtn1->click();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Cannot create file ")
                                                + QDir::toNativeSeparators(App->AppPath + QStringLiteral("Scripts//")));
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.rchEdit->toPlainText(), QStringLiteral("kill %spid%"));
        // The item is listed, as a step already done, and the menu file is not written.
        QCOMPARE(listNames(), QStringList{"Снять"});
        QVERIFY(!exists(QStringLiteral("Config/Menus.ini")));

        editor.Edit3->setText(QStringLiteral("Scripts\\kill.sql"));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(listNames(), QStringList{"Снять"});
        QCOMPARE(bytes(QStringLiteral("Scripts/kill.sql")), QByteArray("kill %spid%\r\n"));
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")),
                 ToCp1251(QStringLiteral("[WHO]\r\n0=Снять;KILL;Scripts\\kill.sql;spid;1\r\n")));
    }

    void refusesFieldsTheMenuFileCannotGiveBack_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("label");
        QTest::newRow("identifier") << 1 << QStringLiteral("Идентификатор");
        QTest::newRow("name") << 2 << QStringLiteral("Наименование");
        QTest::newRow("script file") << 3 << QStringLiteral("Скрипт-файл");
        QTest::newRow("identifying field") << 4 << QStringLiteral("Идентифицирующее поле");
    }
    void refusesFieldsTheMenuFileCannotGiveBack()
    {
        QFETCH(int, field);
        QFETCH(QString, label);
        for (const QString& delimiter : {QStringLiteral(";"), QStringLiteral("|")}) {
            App->IniDelimiter = delimiter;
            program->boxes.messages.clear();
            TFormScriptMenuEditor editor(EditorMode::Add, menus, -1, QStringLiteral("WHO"), nullptr);
            editor.show();
            fill(editor, QStringLiteral("KILL"), QStringLiteral("Снять"), QStringLiteral("Scripts\\kill.sql"), QStringLiteral("kill %spid%"));
            editor.Edit4->setText(QStringLiteral("spid"));
            QLineEdit* const edit = QList<QLineEdit*>{editor.Edit1, editor.Edit2, editor.Edit3, editor.Edit4}[field - 1];
            edit->setText(edit->text() + QStringLiteral("до;после|"));
            editor.BitBtn1->click();
            QCOMPARE(program->boxes.messages.size(), 1);
            QCOMPARE(program->boxes.messages[0].text,
                     QStringLiteral("Поле '%1' не может содержать символ '%2': этим символом разделяются поля записи в файле.")
                         .arg(label, delimiter));
            QVERIFY(editor.isVisible());
            QCOMPARE(edit->selectedText(), delimiter);
            QVERIFY(menus.empty());
            QVERIFY(!exists(QStringLiteral("Config/Menus.ini")));
            QVERIFY(!exists(QStringLiteral("Scripts/kill.sql")));
        }
    }

    void refusesACommandLongerThanAReadingTakes()
    {
        program->folder.write(QStringLiteral("Config/Menus.ini"), "[WHO]\r\n0=a;A;Scripts\\a.sql;;0\r\n");
        program->folder.write(QStringLiteral("Scripts/a.sql"), "select 1\r\n");
        menus.push_back(item(QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("Scripts\\a.sql")));
        // "name;A;Scripts\a.sql;;0": 19 characters besides the name.
        const QString tooLong(2047 - 19 + 1, QChar(u'Щ'));
        for (const EditorMode mode : {EditorMode::Add, EditorMode::Edit}) {
            program->boxes.messages.clear();
            TFormScriptMenuEditor editor(mode, menus, 0, QStringLiteral("WHO"), nullptr);
            editor.show();
            if (mode == EditorMode::Add)
                fill(editor, QStringLiteral("A"), {}, QStringLiteral("Scripts\\a.sql"), QStringLiteral("select 2"));
            editor.Edit2->setText(tooLong);
            editor.BitBtn1->click();
            QCOMPARE(program->boxes.messages.size(), 1);
            QCOMPARE(program->boxes.messages[0].text,
                     QStringLiteral("Команда не помещается в файл меню: её запись займёт 2048 символов, а читается не более 2047.\n"
                                    "Сократите наименование, идентификатор, скрипт-файл или идентифицирующее поле."));
            QVERIFY(editor.isVisible());
            QCOMPARE(listNames(), QStringList{"a"});
            QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")), QByteArray("[WHO]\r\n0=a;A;Scripts\\a.sql;;0\r\n"));
            QCOMPARE(bytes(QStringLiteral("Scripts/a.sql")), QByteArray("select 1\r\n"));
        }
        // One character less is the most a reading takes, and reads back whole.
        TFormScriptMenuEditor editor(EditorMode::Edit, menus, 0, QStringLiteral("WHO"), nullptr);
        editor.Edit2->setText(tooLong.chopped(1));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        const SubScriptList read = MenuFile(App->MenuFile, App->IniDelimiter).Read(QStringLiteral("WHO"));
        QCOMPARE(read.size(), std::size_t(1));
        QCOMPARE(read[0]->Name, tooLong.chopped(1));
    }

    void addKeepsAnExistingScriptFile()
    {
        program->folder.write(QStringLiteral("Scripts/shared.sql"), "select 1\n");
        menus.push_back(item(QStringLiteral("z"), QStringLiteral("Z"), QStringLiteral("z.sql")));
        TFormScriptMenuEditor editor(EditorMode::Add, menus, -1, QStringLiteral("WHO"), nullptr);
        fill(editor, QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("Scripts/shared.sql"), QStringLiteral("drop table t"));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Scripts/shared.sql")), QByteArray("select 1\n"));
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")),
                 QByteArray("[WHO]\r\n0=z;Z;z.sql;;0\r\n1=a;A;Scripts/shared.sql;;0\r\n"));
    }

    void addWhoseMenuWriteFailsWritesTheTextTypedWhenApplied()
    {
        App->MenuFile = QStringLiteral("Later\\Menus.ini");
        TFormScriptMenuEditor editor(EditorMode::Add, menus, -1, QStringLiteral("WHO"), nullptr);
        editor.show();
        fill(editor, QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("Scripts\\new.sql"), QStringLiteral("select 1"));
        editor.BitBtn1->click();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Unable to write to ")
                                                + QDir::toNativeSeparators(App->AppPath + QStringLiteral("Later/Menus.ini")));
        QVERIFY(editor.isVisible());
        QCOMPARE(bytes(QStringLiteral("Scripts/new.sql")), QByteArray("select 1\r\n"));

        // The file this editor created is its own: the corrected text goes into it.
        editor.rchEdit->setPlainText(QStringLiteral("select 2"));
        QDir(program->folder.path()).mkpath(QStringLiteral("Later"));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Scripts/new.sql")), QByteArray("select 2\r\n"));
        QCOMPARE(bytes(QStringLiteral("Later/Menus.ini")), QByteArray("[WHO]\r\n0=a;A;Scripts\\new.sql;;0\r\n"));
        QCOMPARE(menus.size(), std::size_t(1));
    }

    void editRewritesScriptAndSectionInListOrder()
    {
        program->folder.write(QStringLiteral("Config/Menus.ini"),
                      "[WHO]\r\n0=A;A;a.sql;;0\r\n1=b;B;b.sql;;0\r\n2=stale;S;s.sql;;0\r\n[OTHER]\r\n0=o;O;o.sql;;1\r\n");
        program->folder.write(QStringLiteral("Scripts/b.sql"), "old\r\n");
        // The entry editor's order: as read, then the items added since.
        menus.push_back(item(QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("Scripts\\b.sql")));
        menus.push_back(item(QStringLiteral("A"), QStringLiteral("A"), QStringLiteral("a.sql")));
        TFormScriptMenuEditor editor(EditorMode::Edit, menus, 0, QStringLiteral("who"), nullptr);
        editor.Edit2->setText(QStringLiteral("Б"));
        editor.Edit4->setText(QStringLiteral("spid"));
        editor.chBox1->setChecked(true);
        editor.rchEdit->setPlainText(QStringLiteral("new\nлиния\n"));
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(bytes(QStringLiteral("Scripts/b.sql")), ToCp1251(QStringLiteral("new\r\nлиния\r\n")));
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")),
                 ToCp1251(QStringLiteral("[WHO]\r\n0=Б;B;Scripts\\b.sql;spid;1\r\n1=A;A;a.sql;;0\r\n2=stale;S;s.sql;;0\r\n"
                                         "[OTHER]\r\n0=o;O;o.sql;;1\r\n")));
    }

    void deletingTheOnlyItemEmptiesTheSection()
    {
        program->folder.write(QStringLiteral("Config/Menus.ini"), "[WHO]\r\n0=a;A;Scripts\\a.sql;;0\r\n[NEXT]\r\n0=n;N;n.sql;;0\r\n");
        program->folder.write(QStringLiteral("Scripts/a.sql"), "select 1\r\n");
        menus.push_back(item(QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("Scripts\\a.sql")));
        TFormScriptMenuEditor editor(EditorMode::Delete, menus, 0, QStringLiteral("WHO"), nullptr);
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QVERIFY(menus.empty());
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")), QByteArray("[WHO]\r\n[NEXT]\r\n0=n;N;n.sql;;0\r\n"));
        QVERIFY(!exists(QStringLiteral("Scripts/a.sql")));
    }

    void deletingKeepsAScriptFileNamedElsewhere_data()
    {
        QTest::addColumn<QByteArray>("catalogue");
        QTest::addColumn<QByteArray>("menuFile");
        QTest::addColumn<QString>("otherItem");
        QTest::addColumn<bool>("kept");
        QTest::newRow("named by nothing else") << QByteArray("C;1;Scripts/c.sql\r\n")
                                               << QByteArray("[OTHER]\r\n0=o;O;Scripts/o.sql;;0\r\n") << QString() << false;
        QTest::newRow("a catalogue entry, written otherwise")
            << QByteArray("C;1;\\Scripts/shared.sql\r\n") << QByteArray() << QString() << true;
        QTest::newRow("another item of the same menu")
            << QByteArray() << QByteArray() << QStringLiteral("Scripts//shared.sql") << true;
        QTest::newRow("an item of another section, absolute")
            << QByteArray() << QByteArray("[OTHER]\r\n0=o;O;%1/Scripts/shared.sql;;0\r\n") << QString() << true;
        QTest::newRow("a value whose flag would stop a reading")
            << QByteArray() << QByteArray("[OTHER]\r\n0=o;O;Scripts\\shared.sql;;yes\r\n") << QString() << true;
    }

    void deletingKeepsAScriptFileNamedElsewhere()
    {
        QFETCH(QByteArray, catalogue);
        QFETCH(QByteArray, menuFile);
        QFETCH(QString, otherItem);
        QFETCH(bool, kept);
        program->folder.write(QStringLiteral("Config/Sensors.ini"), catalogue);
        App->LoadSensors();
        program->folder.write(QStringLiteral("Config/Menus.ini"),
                      QString::fromLatin1(menuFile).arg(program->folder.path()).toLatin1() + "[WHO]\r\n0=x;X;Scripts\\shared.sql;;0\r\n");
        program->folder.write(QStringLiteral("Scripts/shared.sql"), "select 1\r\n");
        menus.push_back(item(QStringLiteral("x"), QStringLiteral("X"), QStringLiteral("Scripts\\shared.sql")));
        if (!otherItem.isEmpty())
            menus.push_back(item(QStringLiteral("y"), QStringLiteral("Y"), otherItem));
        TFormScriptMenuEditor editor(EditorMode::Delete, menus, 0, QStringLiteral("WHO"), nullptr);
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(exists(QStringLiteral("Scripts/shared.sql")), kept);
        QCOMPARE(listNames(), otherItem.isEmpty() ? QStringList() : QStringList{"y"});
    }

    void failedDeleteChangesNothing()
    {
        App->MenuFile = QStringLiteral("Later\\Menus.ini");
        program->folder.write(QStringLiteral("Scripts/p.sql"), "select 1\r\n");
        program->folder.write(QStringLiteral("Scripts/q.sql"), "select 2\r\n");
        menus.push_back(item(QStringLiteral("p"), QStringLiteral("P"), QStringLiteral("Scripts/p.sql")));
        menus.push_back(item(QStringLiteral("q"), QStringLiteral("Q"), QStringLiteral("Scripts/q.sql")));
        TFormScriptMenuEditor editor(EditorMode::Delete, menus, 0, QStringLiteral("WHO"), nullptr);
        editor.show();
        editor.BitBtn1->click();
        QCOMPARE(program->boxes.messages.size(), 1);
        QVERIFY(program->boxes.messages[0].text.startsWith(QStringLiteral("Unable to write to ")));
        QVERIFY(editor.isVisible());
        QCOMPARE(listNames(), (QStringList{"p", "q"}));
        QVERIFY(exists(QStringLiteral("Scripts/p.sql")));

        program->folder.write(QStringLiteral("Later/Menus.ini"), "[WHO]\r\n0=p;P;Scripts/p.sql;;0\r\n1=q;Q;Scripts/q.sql;;0\r\n");
        editor.BitBtn1->click();
        QCOMPARE(editor.result(), int(mrOk));
        QCOMPARE(listNames(), QStringList{"q"});
        QCOMPARE(bytes(QStringLiteral("Later/Menus.ini")), QByteArray("[WHO]\r\n0=q;Q;Scripts/q.sql;;0\r\n"));
        QVERIFY(!exists(QStringLiteral("Scripts/p.sql")));
        QVERIFY(exists(QStringLiteral("Scripts/q.sql")));
    }

    void viewAndCancelChangeNothing()
    {
        program->folder.write(QStringLiteral("Config/Menus.ini"), "[WHO]\r\n0=a;A;Scripts\\a.sql;;0\r\n");
        program->folder.write(QStringLiteral("Scripts/a.sql"), "select 1\n");
        menus.push_back(item(QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("Scripts\\a.sql")));
        {
            TFormScriptMenuEditor editor(EditorMode::View, menus, 0, QStringLiteral("WHO"), nullptr);
            editor.BitBtn1->click();
            QCOMPARE(editor.result(), int(mrOk));
        }
        {
            TFormScriptMenuEditor editor(EditorMode::Edit, menus, 0, QStringLiteral("WHO"), nullptr);
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            editor.Edit2->setText(QStringLiteral("changed"));
            QTest::keyClick(&editor, Qt::Key_Escape);
            QCOMPARE(editor.result(), int(mrCancel));
        }
        QCOMPARE(bytes(QStringLiteral("Config/Menus.ini")), QByteArray("[WHO]\r\n0=a;A;Scripts\\a.sql;;0\r\n"));
        QCOMPARE(bytes(QStringLiteral("Scripts/a.sql")), QByteArray("select 1\n"));
        QCOMPARE(listNames(), QStringList{"a"});
    }

    void leavingTheFileFieldLoadsTheFile()
    {
        program->folder.write(QStringLiteral("Scripts/there.sql"), ToCp1251(QStringLiteral("select 'тут'\r\n")));
        TFormScriptMenuEditor editor(EditorMode::Add, menus, -1, QStringLiteral("WHO"), nullptr);
        editor.show();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        editor.rchEdit->setPlainText(QStringLiteral("typed"));
        editor.Edit3->setFocus(Qt::MouseFocusReason);
        editor.Edit3->setText(QStringLiteral("Scripts\\missing.sql"));
        editor.Edit4->setFocus(Qt::TabFocusReason);
        QCOMPARE(editor.rchEdit->toPlainText(), QStringLiteral("typed"));
        editor.Edit3->setFocus(Qt::MouseFocusReason);
        editor.Edit3->setText(QStringLiteral("Scripts\\there.sql"));
        editor.Edit4->setFocus(Qt::TabFocusReason);
        QCOMPARE(editor.rchEdit->toPlainText(), QStringLiteral("select 'тут'"));
        QVERIFY(program->boxes.messages.isEmpty());
    }

    void choosingTheFileLoadsIt()
    {
        program->folder.write(QStringLiteral("Scripts/chosen.sql"), "select 3\r\n");
        TFormScriptMenuEditor editor(EditorMode::Add, menus, -1, QStringLiteral("WHO"), nullptr);
        QString title;
        QString filter;
        program->modals.next<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            filter = dialog->selectedNameFilter();
            ChooseFile(dialog, program->folder.file(QStringLiteral("Scripts/chosen.sql")));
        });
        editor.BitBtn3->click();
        QCOMPARE(title, QStringLiteral("Укажите файл хранения SQL-скрипта ..."));
        QCOMPARE(filter, QStringLiteral("SQL скрипты (*.sql)"));
        QCOMPARE(editor.Edit3->text(), QDir::toNativeSeparators(program->folder.file(QStringLiteral("Scripts/chosen.sql"))));
        QCOMPARE(editor.rchEdit->toPlainText(), QStringLiteral("select 3"));
    }
};

QTEST_MAIN(TestItemEditor)
#include "tst_item_editor.moc"
