#include "ProgramFixture.h"

#include "app/ServiceClasses.h"
#include "shell/FormMain.h"
#include "catalogue/EditorMode.h"
#include "catalogue/EntryGrid.h"
#include "catalogue/FormEditScript.h"
#include "catalogue/FormScriptList.h"
#include "platform/TextCodec.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

// The catalogue window as the operator meets it, inside the main window's frame: its grid, its
// tool bar, and what it shows and selects after each use of the entry editor.
class TestCatalogueWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    std::unique_ptr<TFormMain> form;

    void start(const QByteArray& sensors)
    {
        program->folder.write(QStringLiteral("Config/Sensors.ini"), sensors);
        QDir(program->folder.path()).mkpath(QStringLiteral("Scripts"));
        form = std::make_unique<TFormMain>(program->folder.executable());
        form->resize(1100, 800);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    TFormScriptList* open()
    {
        TFormScriptList* window = form->OpenScriptList();
        QCoreApplication::processEvents();
        return window;
    }

    static QStringList ids(const TFormScriptList* window)
    {
        QStringList result;
        for (int row = 1; row < window->strGrid->rowCount(); ++row)
            result << (window->strGrid->item(row, 1) ? window->strGrid->item(row, 1)->text() : QString());
        return result;
    }

    // What the entry editor opened by the command shows, after act has worked on it.
    struct Opened {
        int count = 0;
        EditorMode mode = EditorMode::View;
        QString caption;
    };
    Opened run(const std::function<void()>& command, const std::function<void(TFormEditScript*)>& act)
    {
        Opened opened;
        const auto poller = program->modals.watch<TFormEditScript>([&opened, act](TFormEditScript* editor) {
            ++opened.count;
            opened.mode = editor->Mode;
            opened.caption = editor->windowTitle();
            if (act)
                act(editor);
        });
        command();
        return opened;
    }

    static void cancel(TFormEditScript*) {}

    // The item view takes a double click only on the cell that the first click pressed.
    static void doubleClick(QTableWidget* grid, QPoint at)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }

    static QToolBar* toolBar(TFormScriptList* window) { return window->ToolBar1; }

    static void verifyToolBarWhole(TFormScriptList* window)
    {
        QToolBar* bar = toolBar(window);
        for (QAction* action : bar->actions()) {
            QWidget* control = bar->widgetForAction(action);
            QVERIFY(control);
            QVERIFY2(control->isVisible(), qPrintable(action->text()));
            QVERIFY2(bar->rect().contains(control->geometry()), qPrintable(action->text()));
        }
        const auto* overflow = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
        QVERIFY(!overflow || !overflow->isVisible());
        QVERIFY(bar->geometry().right() < window->Body->width());
    }

    // Green pixels in the top-left 16 x 16 pixels of the cell: a row marker.
    static bool markerAt(QTableWidget* grid, int row, int column)
    {
        const QImage image = grid->viewport()->grab().toImage();
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        for (int y = cell.top(); y < cell.top() + 16; ++y) {
            for (int x = cell.left(); x < cell.left() + 16; ++x) {
                const QColor c = image.pixelColor(x * image.devicePixelRatio(), y * image.devicePixelRatio());
                if (c.green() > c.red() + 60 && c.green() > c.blue() + 60)
                    return true;
            }
        }
        return false;
    }

    void activate(TFormScriptList* window)
    {
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->mdiArea()->setActiveSubWindow(window);
        window->strGrid->setFocus();
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
    }

    void cleanup()
    {
        program->verifyModals();
        form.reset();
        program.reset();
    }

    void gridShowsTheCatalogue()
    {
        start(ToCp1251(QStringLiteral("Процессы;WHO;Scripts\\who.sql\r\nактивность;ACT;Scripts/act.sql\r\n")));
        TFormScriptList* window = open();
        QCOMPARE(window->windowTitle(), QStringLiteral("Справочник скриптов"));
        QTableWidget* grid = window->strGrid;
        QCOMPARE(grid->columnCount(), 5);
        QStringList titles;
        for (int column = 0; column < 5; ++column)
            titles << grid->horizontalHeaderItem(column)->text();
        QCOMPARE(titles, (QStringList{"", "Идентификатор", "Наименование", "Скрипт-файл", ""}));
        QCOMPARE(ids(window), (QStringList{"ACT", "WHO"}));
        QCOMPARE(grid->item(2, 2)->text(), QStringLiteral("Процессы"));
        QCOMPARE(grid->item(2, 3)->text(), QStringLiteral("Scripts\\who.sql"));
        QCOMPARE(grid->columnWidth(0), 16);
        QCOMPARE(grid->columnWidth(4), 16);
        QCOMPARE(grid->rowHeight(1), 18);
        QVERIFY(grid->isRowHidden(0));
        QCOMPARE(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(grid->currentRow(), 1);

        QVERIFY(markerAt(grid, 1, 0));
        QVERIFY(markerAt(grid, 1, 4));
        QVERIFY(!markerAt(grid, 2, 0));
        grid->setCurrentCell(2, 1);
        QVERIFY(markerAt(grid, 2, 0));
        QVERIFY(markerAt(grid, 2, 4));
        QVERIFY(!markerAt(grid, 1, 0));
        QVERIFY(!markerAt(grid, 1, 4));
    }

    void columnsShareTheFreeWidth()
    {
        // Exactly w * percent / 100, a half going to the even neighbour.
        QCOMPARE(EntryColumnWidth(30, 20), 6);
        QCOMPARE(EntryColumnWidth(30, 25), 8);
        QCOMPARE(EntryColumnWidth(30, 55), 16);
        QCOMPARE(EntryColumnWidth(10, 25), 2);
        QCOMPARE(EntryColumnWidth(10, 55), 6);
        QCOMPARE(EntryColumnWidth(583, 55), 321);
        QCOMPARE(EntryColumnWidth(-20, 55), 0);

        start("A;1;a.sql\r\n");
        TFormScriptList* window = open();
        QTableWidget* grid = window->strGrid;
        auto verifyLayout = [grid] {
            const int free = grid->width() - 57;
            QCOMPARE(grid->columnWidth(1), EntryColumnWidth(free, 20));
            QCOMPARE(grid->columnWidth(2), EntryColumnWidth(free, 25));
            QCOMPARE(grid->columnWidth(3), EntryColumnWidth(free, 55));
            QCOMPARE(grid->columnWidth(0), 16);
            QCOMPARE(grid->columnWidth(4), 16);
        };
        verifyLayout();
        const int wide = grid->columnWidth(3);
        window->resize(window->width() - 150, window->height());
        QCoreApplication::processEvents();
        verifyLayout();
        QVERIFY(grid->columnWidth(3) < wide);
        // The columns fit: no part of a row is out of sight.
        QVERIFY(grid->columnViewportPosition(4) + 16 <= grid->viewport()->width());
    }

    void designSizeInsideTheFrame()
    {
        start("A;1;a.sql\r\n");
        TFormScriptList* window = open();
        QCOMPARE(window->size(), QSize(640, 360));
        QVERIFY(window->x() >= 0 && window->y() >= 0);
        QVERIFY(form->mdiArea()->subWindowList().contains(window));
    }

    void toolBarShowsEveryControl_data()
    {
        QTest::addColumn<bool>("captions");
        QTest::addColumn<bool>("smallest");
        QTest::newRow("captions, design size") << true << false;
        QTest::newRow("captions, smallest size") << true << true;
        QTest::newRow("no captions, design size") << false << false;
        QTest::newRow("no captions, smallest size") << false << true;
    }

    void toolBarShowsEveryControl()
    {
        QFETCH(bool, captions);
        QFETCH(bool, smallest);
        program->folder.write(QStringLiteral("Config/quillon.ini"),
                      QStringLiteral("[Window]\r\nShowCaptions=%1\r\n").arg(captions ? 1 : 0).toLatin1());
        start("A;1;a.sql\r\n");
        TFormScriptList* window = open();
        QCOMPARE(toolBar(window)->toolButtonStyle(), captions ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        QStringList texts;
        for (QAction* action : toolBar(window)->actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(texts, (QStringList{"Добавить", "Просмотр", "Редактировать", "Удалить", "-", "Выход"}));
        if (smallest) {
            window->resize(10, 10);
            QCoreApplication::processEvents();
            QCOMPARE(window->size(), window->minimumSize());
            QVERIFY(window->strGrid->height() > 0);
        }
        verifyToolBarWhole(window);
    }

    void commandsKeysAndPopup()
    {
        start("A;1;a.sql\r\nB;2;b.sql\r\n");
        TFormScriptList* window = open();
        const std::pair<QAction*, const char*> shortcuts[] = {
            {window->acIns, "Ins"}, {window->acView, "Alt+Return"}, {window->acEdit, "Ctrl+Return"},
            {window->acDel, "Ctrl+Del"}, {window->acExit, "Esc"}};
        for (const auto& [action, keys] : shortcuts) {
            QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(keys)));
            QCOMPARE(action->toolTip(), action->text());
            QVERIFY(!action->icon().isNull());
        }
        QStringList popup;
        for (QAction* action : window->PopupMenu->actions())
            popup << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(popup, (QStringList{"Добавить", "Просмотр", "Редактировать", "Удалить", "-", "Выход"}));

        activate(window);
        const std::tuple<Qt::Key, Qt::KeyboardModifiers, EditorMode, const char*> keys[] = {
            {Qt::Key_Insert, Qt::NoModifier, EditorMode::Add, "Добавить"},
            {Qt::Key_Return, Qt::AltModifier, EditorMode::View, "Просмотр"},
            {Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier, EditorMode::View, "Просмотр"},
            {Qt::Key_Return, Qt::ControlModifier, EditorMode::Edit, "Редактировать"},
            {Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier, EditorMode::Edit, "Редактировать"},
            {Qt::Key_Delete, Qt::ControlModifier, EditorMode::Delete, "Удалить"},
        };
        for (const auto& [key, modifiers, mode, caption] : keys) {
            const Opened opened = run([&] { QTest::keyClick(window->strGrid, key, modifiers); }, cancel);
            QCOMPARE(opened.count, 1);
            QCOMPARE(opened.mode, mode);
            QCOMPARE(opened.caption, QString::fromUtf8(caption));
            activate(window);
        }
        const QPoint cell = window->strGrid->visualRect(window->strGrid->model()->index(2, 2)).center();
        const Opened doubleClicked = run([&] { doubleClick(window->strGrid, cell); },
                                       cancel);
        QCOMPARE(doubleClicked.count, 1);
        QCOMPARE(doubleClicked.mode, EditorMode::Edit);

        activate(window);
        QPointer<TFormScriptList> guard(window);
        QTest::keyClick(window->strGrid, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTRY_VERIFY(guard.isNull());
    }

    void emptyCatalogueOffersOnlyAdd()
    {
        start("");
        TFormScriptList* window = open();
        QCOMPARE(window->strGrid->rowCount(), 2);
        QCOMPARE(ids(window), QStringList{""});
        for (QAction* command : {window->acView, window->acEdit, window->acDel})
            QCOMPARE(run([command] { command->trigger(); }, cancel).count, 0);
        const QPoint cell = window->strGrid->visualRect(window->strGrid->model()->index(1, 1)).center();
        QCOMPARE(run([&] { doubleClick(window->strGrid, cell); }, cancel).count, 0);
        const Opened add = run([window] { window->acIns->trigger(); }, cancel);
        QCOMPARE(add.count, 1);
        QCOMPARE(add.mode, EditorMode::Add);
        QVERIFY(program->boxes.messages.isEmpty());
    }

    void newEntryIsSelectedAtItsSortedPlace()
    {
        start("Bravo;2;b.sql\r\nDelta;4;d.sql\r\n");
        TFormScriptList* window = open();
        run([window] { window->acIns->trigger(); }, [](TFormEditScript* editor) {
            editor->Edit1->setText(QStringLiteral("3"));
            editor->Edit2->setText(QStringLiteral("Charlie"));
            editor->Edit3->setText(QStringLiteral("Scripts\\c.sql"));
            editor->BitBtn1->click();
        });
        QCOMPARE(ids(window), (QStringList{"2", "3", "4"}));
        QCOMPARE(window->strGrid->currentRow(), 2);
        QCOMPARE(program->folder.read(QStringLiteral("Config/Sensors.ini")),
                 QByteArray("Bravo;2;b.sql\r\nCharlie;3;Scripts\\c.sql\r\nDelta;4;d.sql\r\n"));
    }

    void deletingMovesTheSelectionUp()
    {
        start("A;1;a.sql\r\nB;2;b.sql\r\n");
        TFormScriptList* window = open();
        window->strGrid->setCurrentCell(2, 1);
        auto apply = [](TFormEditScript* editor) { editor->BitBtn1->click(); };
        run([window] { window->acDel->trigger(); }, apply);
        QCOMPARE(ids(window), QStringList{"1"});
        QCOMPARE(window->strGrid->currentRow(), 1);
        run([window] { window->acDel->trigger(); }, apply);
        QCOMPARE(window->strGrid->rowCount(), 2);
        QCOMPARE(ids(window), QStringList{""});
        QCOMPARE(window->strGrid->currentRow(), 1);
        QCOMPARE(program->folder.read(QStringLiteral("Config/Sensors.ini")), QByteArray());
    }

    void cancellingKeepsTheRow()
    {
        start("A;1;a.sql\r\nB;2;b.sql\r\nC;3;c.sql\r\n");
        TFormScriptList* window = open();
        for (QAction* command : {window->acView, window->acEdit, window->acDel}) {
            window->strGrid->setCurrentCell(2, 1);
            QCOMPARE(run([command] { command->trigger(); }, cancel).count, 1);
            QCOMPARE(window->strGrid->currentRow(), 2);
        }
        // A cancelled add selects the row of the identifier typed, where there is one.
        run([window] { window->acIns->trigger(); },
            [](TFormEditScript* editor) { editor->Edit1->setText(QStringLiteral("3")); });
        QCOMPARE(window->strGrid->currentRow(), 3);
        run([window] { window->acIns->trigger(); },
            [](TFormEditScript* editor) { editor->Edit1->setText(QStringLiteral("none")); });
        QCOMPARE(window->strGrid->currentRow(), 3);
        QCOMPARE(ids(window), (QStringList{"1", "2", "3"}));
    }

    void duplicateIdentifiersSelectTheFirst()
    {
        start("A;X;a.sql\r\nB;X;b.sql\r\nC;Y;c.sql\r\n");
        TFormScriptList* window = open();
        window->strGrid->setCurrentCell(3, 1);
        run([window] { window->acIns->trigger(); }, [](TFormEditScript* editor) {
            editor->Edit1->setText(QStringLiteral("X"));
            editor->Edit2->setText(QStringLiteral("Z"));
            editor->Edit3->setText(QStringLiteral("Scripts/z.sql"));
            editor->BitBtn1->click();
        });
        QCOMPARE(ids(window), (QStringList{"X", "X", "Y", "X"}));
        QCOMPARE(window->strGrid->currentRow(), 1);
    }

    void anotherWindowsShrunkCatalogueIsLeftAlone()
    {
        start("A;1;a.sql\r\nB;2;b.sql\r\n");
        TFormScriptList* first = open();
        TFormScriptList* second = open();
        first->strGrid->setCurrentCell(2, 1);
        run([first] { first->acDel->trigger(); }, [](TFormEditScript* editor) { editor->BitBtn1->click(); });
        QCOMPARE(App->Sensors.size(), std::size_t(1));
        // The second window still lists both entries, and its last row has no entry any more.
        QCOMPARE(ids(second), (QStringList{"1", "2"}));
        second->strGrid->setCurrentCell(2, 1);
        for (QAction* command : {second->acView, second->acEdit, second->acDel})
            QCOMPARE(run([command] { command->trigger(); }, cancel).count, 0);
        QCOMPARE(ids(second), (QStringList{"1", "2"}));
        QVERIFY(program->boxes.messages.isEmpty());
        // Its next refill shows the change.
        QCOMPARE(run([second] { second->acIns->trigger(); }, cancel).count, 1);
        QCOMPARE(ids(second), QStringList{"1"});
        QCOMPARE(second->strGrid->currentRow(), 1);
    }

    void scriptsCommandOpensANewWindowEachTime()
    {
        start("A;1;a.sql\r\n");
        QAction* scripts = form->findChild<QAction*>(QStringLiteral("acScripts"));
        QVERIFY(scripts->isEnabled());
        scripts->trigger();
        scripts->trigger();
        QCoreApplication::processEvents();
        int catalogues = 0;
        for (QMdiSubWindow* child : form->mdiArea()->subWindowList())
            catalogues += qobject_cast<TFormScriptList*>(child) ? 1 : 0;
        QCOMPARE(catalogues, 2);
    }
};

QTEST_MAIN(TestCatalogueWindow)
#include "tst_catalogue_window.moc"
