#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "RecordSets.h"
#include "Widgets.h"

#include "app/ServiceClasses.h"
#include "shell/FormMain.h"
#include "data/Query.h"
#include "monitor/BlockingTree.h"
#include "monitor/FormMon.h"
#include "connection/RefreshCost.h"
#include "monitor/HistoryBar.h"
#include "monitor/MonitorStatusBar.h"

#include <QAccessible>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

// The monitor window as the operator meets it: inside the main window's frame, at the size its
// profile stores, with every tool bar control in reach. No server is needed: nothing here starts.
class TestMonitorWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    std::unique_ptr<TFormMain> form;

    TFormMon* open(QSize frame, int width, int height, int state)
    {
        form->resize(frame);
        QCoreApplication::processEvents();
        TConnect* descriptor = MonitorDescriptor({.interval = 3, .width = width, .height = height});
        descriptor->WindowState = static_cast<std::uint8_t>(state);
        TFormMon* window = form->OpenMonitor(descriptor);
        QCoreApplication::processEvents();
        return window;
    }

    void closeAndDelete(TFormMon* window)
    {
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static QToolBar* toolBar(TFormMon* window) { return Child<QToolBar>(window, "ToolBar1"); }

    // Every control of the tool bar is shown and lies inside the tool bar, which lies inside the window.
    static void verifyToolBarWhole(TFormMon* window, QToolBar* bar = nullptr)
    {
        bar = bar ? bar : toolBar(window);
        for (QAction* action : bar->actions()) {
            QWidget* control = bar->widgetForAction(action);
            QVERIFY(control);
            QVERIFY2(control->isVisible(), qPrintable(action->text()));
            QVERIFY2(bar->rect().contains(control->geometry()), qPrintable(action->text()));
        }
        const auto* overflow = Child<QToolButton>(bar, "qt_toolbar_ext_button");
        QVERIFY(!overflow || !overflow->isVisible());
        QVERIFY(bar->geometry().right() < window->Body->width());
    }

    // Every control of the tool bar is in reach: shown in the bar, or, in a window narrower than the
    // bar, behind its extension button, which unfolds them all.
    static void verifyToolBarReachable(TFormMon* window, QToolBar* bar = nullptr)
    {
        bar = bar ? bar : toolBar(window);
        auto* overflow = Child<QToolButton>(bar, "qt_toolbar_ext_button");
        if (!overflow || !overflow->isVisible()) {
            verifyToolBarWhole(window, bar);
            return;
        }
        QVERIFY(bar->rect().contains(overflow->geometry()));
        QVERIFY(bar->geometry().right() < window->Body->width());
        overflow->click();
        for (QAction* action : bar->actions()) {
            if (action->isSeparator())
                continue;
            const QWidget* control = bar->widgetForAction(action);
            QTRY_VERIFY2(control->isVisible(), qPrintable(action->text()));
            QVERIFY2(window->Body->rect().contains(QRect(control->mapTo(window->Body, QPoint()), control->size())),
                     qPrintable(action->text()));
        }
        overflow->click();
        QCoreApplication::processEvents();
    }

    // Depth-first through the accessibility tree from the application down.
    static bool reachable(QAccessibleInterface* from, const QObject* wanted, int depth = 0)
    {
        if (!from || depth > 40)
            return false;
        if (from->object() == wanted)
            return true;
        for (int i = 0; i < from->childCount(); ++i) {
            if (reachable(from->child(i), wanted, depth + 1))
                return true;
        }
        return false;
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        program->writeCatalogue({{QStringLiteral("A"), QStringLiteral("1"), "select 1"},
                                 {QStringLiteral("B"), QStringLiteral("2"), "select 2"}});
        form = std::make_unique<TFormMain>(program->folder.executable());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup()
    {
        form.reset();
        program.reset();
    }

    void storedSizeIsKeptAndWrittenBack_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::newRow("900 x 600") << QSize(900, 600);
        QTest::newRow("1000 x 400") << QSize(1000, 400);
        QTest::newRow("760 x 820") << QSize(760, 820);
    }

    void storedSizeIsKeptAndWrittenBack()
    {
        QFETCH(QSize, stored);
        TFormMon* window = open(QSize(1200, 900), stored.width(), stored.height(), 0);
        QCOMPARE(window->size(), stored);
        QVERIFY(!window->isMaximized());
        closeAndDelete(window);
        const QByteArray profile = program->folder.read(QStringLiteral("Config/Connections.ini"));
        QVERIFY2(profile.contains(QStringLiteral("Height=%1\r\nWidth=%2\r\nWindowState=0\r\n")
                                      .arg(stored.height())
                                      .arg(stored.width())
                                      .toLatin1()),
                 profile);
    }

    void windowLargerThanTheFrameStartsInsideIt()
    {
        TFormMon* window = open(QSize(696, 482), 900, 600, 0);
        QVERIFY2(window->x() >= 0 && window->y() >= 0,
                 qPrintable(QStringLiteral("at %1,%2").arg(window->x()).arg(window->y())));
        QCOMPARE(window->size(), QSize(900, 600));
    }

    void zeroSizeGivesTheSmallestWindowInReach()
    {
        TFormMon* window = open(QSize(1200, 900), 0, 0, 0);
        QCOMPARE(window->size(), window->minimumSize());
        QVERIFY(window->height() > 0);
        verifyToolBarReachable(window);
    }

    void maximizedFillsTheFrame()
    {
        TFormMon* window = open(QSize(1000, 700), 900, 600, 2);
        QVERIFY(window->isMaximized());
        QCOMPARE(window->size(), form->mdiArea()->viewport()->size());
    }

    void toolBarShowsEveryControl_data()
    {
        QTest::addColumn<bool>("captions");
        QTest::addColumn<int>("width");
        QTest::newRow("captions, wide window") << true << 1100;
        QTest::newRow("captions, narrowest window") << true << 0;
        QTest::newRow("no captions, wide window") << false << 1100;
        QTest::newRow("no captions, narrowest window") << false << 0;
    }

    void toolBarShowsEveryControl()
    {
        QFETCH(bool, captions);
        QFETCH(int, width);
        App->ShowCaptions = captions;
        TFormMon* window = open(QSize(1200, 900), width, 500, 0);
        QCOMPARE(toolBar(window)->toolButtonStyle(), captions ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        if (width > 0)
            verifyToolBarWhole(window);
        else
            verifyToolBarReachable(window);
        // Made as narrow as it goes, it still offers every control.
        window->resize(10, 500);
        QCoreApplication::processEvents();
        QCOMPARE(window->size(), QSize(window->minimumWidth(), 500));
        verifyToolBarReachable(window);
    }

    void blockingTreeInTheSmallestWindow_data()
    {
        QTest::addColumn<bool>("captions");
        QTest::newRow("captions") << true;
        QTest::newRow("no captions") << false;
    }

    // The blocking tree in the grid's place in a window as small as it goes: it shows inside the
    // window, and its switch at the end of the history row stays in reach.
    void blockingTreeInTheSmallestWindow()
    {
        QFETCH(bool, captions);
        App->ShowCaptions = captions;
        TFormMon* window = open(QSize(1200, 900), 0, 0, 0);
        window->Blocking->SetColumns({QStringLiteral("spid"), QStringLiteral("blocked_by"), {}});
        window->Query->setRecords(RecordsOf({{"spid", FieldType::Integer}, {"blocked_by", FieldType::Integer}},
                                            {{51, 0}, {52, 51}, {53, 52}}));
        QVERIFY(window->HistoryControls->acBlocking->isEnabled());
        window->HistoryControls->acBlocking->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(window->size(), window->minimumSize());
        const BlockingTree* tree = window->Blocking;
        QVERIFY(tree->isVisible());
        QVERIFY(!window->DBGrid->isVisible());
        QVERIFY(tree->viewport()->height() > tree->visualRect(tree->model()->index(0, 0)).height());
        QVERIFY(window->Body->rect().contains(QRect(tree->mapTo(window->Body, QPoint()), tree->size())));
        verifyToolBarReachable(window, window->HistoryControls);
        verifyToolBarReachable(window);
    }

    void tiledSideBySideTheWindowsShareTheFrame_data()
    {
        QTest::addColumn<bool>("captions");
        QTest::newRow("captions") << true;
        QTest::newRow("no captions") << false;
    }

    // "Вертикально" with three windows in a frame about a thousand pixels wide: each takes its third,
    // none lies over another, and each still offers every control.
    void tiledSideBySideTheWindowsShareTheFrame()
    {
        QFETCH(bool, captions);
        App->ShowCaptions = captions;
        QList<TFormMon*> windows;
        for (int i = 0; i < 3; ++i)
            windows << open(QSize(1000, 700), 848, 638, 0);
        Child<QAction>(form.get(), "WindowTileVertical1")->trigger();
        QCoreApplication::processEvents();
        const QRect area = form->mdiArea()->viewport()->rect();
        for (int i = 0; i < windows.size(); ++i) {
            const QRect place = windows[i]->geometry();
            QVERIFY2(place.width() <= area.width() / 3 + 1, qPrintable(QString::number(place.width())));
            QVERIFY(area.contains(place));
            for (int j = i + 1; j < windows.size(); ++j)
                QVERIFY2(!place.intersects(windows[j]->geometry()), qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
            verifyToolBarReachable(windows[i]);
        }
    }

    void messageFieldTakesTheRestOfTheBar()
    {
        TFormMon* window = open(QSize(1200, 900), 1100, 500, 0);
        auto* message = window->StatusBar->findChildren<QLabel*>().value(3);
        QVERIFY(message);
        const QString offline = QStringLiteral(" 2026-12-08 10:00:00 - Offline - Ошибки исполнения скрипта или соединения с сервером.");
        window->StatusBar->SetPanelText(StatusPanel::Message, offline);
        QCOMPARE(message->text(), offline);
        QVERIFY2(message->width() > 600, qPrintable(QString::number(message->width())));
        QVERIFY(window->StatusBar->width() - message->geometry().right() < 30);
        QVERIFY(message->fontMetrics().horizontalAdvance(offline) < message->contentsRect().width());
        QCOMPARE(message->toolTip(), offline);
    }

    void costPanelFitsTheBar_data()
    {
        QTest::addColumn<bool>("captions");
        QTest::newRow("captions") << true;
        QTest::newRow("no captions") << false;
    }

    // After the first refresh the cost panel joins the bar at its right end. In the narrowest window
    // the panels of the original keep their widths and the cost panel yields; at the usual size its
    // figures are whole.
    void costPanelFitsTheBar()
    {
        QFETCH(bool, captions);
        App->ShowCaptions = captions;
        TFormMon* window = open(QSize(1200, 900), 0, 0, 0);
        window->StatusBar->ShowCost({.durationMs = 12720, .intervalSeconds = 10, .stretchedSeconds = 30, .server = {}});
        QCoreApplication::processEvents();
        const QList<QLabel*> panels = window->StatusBar->findChildren<QLabel*>();
        QCOMPARE(panels.size(), 5);
        const auto verifyPanels = [&] {
            int left = -1;
            for (int i = 0; i < panels.size(); ++i) {
                const QLabel* panel = panels[i];
                QVERIFY(panel->isVisible());
                QVERIFY2(panel->x() > left, qPrintable(panel->text()));
                left = panel->x();
                if (i < 3)
                    QCOMPARE(panel->width(), 50);
                // The message field may yield its room to nothing.
                if (i != 3)
                    QVERIFY2(window->StatusBar->rect().contains(panel->geometry()), qPrintable(panel->text()));
            }
            const QRect bar = window->StatusBar->geometry();
            QVERIFY2(window->Body->rect().contains(bar),
                     qPrintable(QStringLiteral("bar %1,%2 %3x%4 in %5x%6").arg(bar.x()).arg(bar.y()).arg(bar.width())
                                    .arg(bar.height()).arg(window->Body->width()).arg(window->Body->height())));
        };
        verifyPanels();
        window->resize(848, 638);
        QCoreApplication::processEvents();
        verifyPanels();
        const QLabel* cost = panels.last();
        QCOMPARE(cost->text(), QStringLiteral("12,72 с · 127% · раз в 30 с"));
        QVERIFY(cost->fontMetrics().horizontalAdvance(cost->text()) <= cost->contentsRect().width());
        QVERIFY(cost->toolTip().contains(QStringLiteral("выполнение скрипта 12,72 с")));
    }

    void popupIsInTheAccessibilityTreeWhileShown()
    {
        TFormMon* window = open(QSize(1200, 900), 900, 600, 0);
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(qApp);
        QVERIFY(!reachable(root, window->PopupMenu));
        window->PopupMenu->popup(window->mapToGlobal(QPoint(100, 100)));
        QVERIFY(QTest::qWaitForWindowExposed(window->PopupMenu));
        QVERIFY(reachable(root, window->PopupMenu));
        QAccessibleInterface* popup = QAccessible::queryAccessibleInterface(window->PopupMenu);
        // Where Qt says it hangs, it is listed.
        QCOMPARE(popup->parent()->object(), qApp);
        QVERIFY(popup->parent()->indexOfChild(popup) >= 0);
        QCOMPARE(popup->parent()->child(popup->parent()->indexOfChild(popup)), popup);
        QStringList items;
        for (int i = 0; i < popup->childCount(); ++i)
            items << popup->child(i)->text(QAccessible::Name);
        QCOMPARE(items, (QStringList{"Старт", "Фильтр", "", "Выход", "", "Копировать"}));
        // A screen reader can also act on it: Exit closes the window.
        QAccessibleActionInterface* exit = popup->child(3)->actionInterface();
        QVERIFY(exit);
        QPointer<TFormMon> guard(window);
        exit->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTRY_VERIFY(guard.isNull());
    }
};

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitor_window.moc"
