#include "ProgramFixture.h"
#include "Widgets.h"

#include "app/Application.h"
#include "app/ServiceClasses.h"
#include "app/ActionLog.h"
#include "shell/AboutBox.h"
#include "shell/FormActionLog.h"
#include "shell/FormMain.h"
#include "shell/ProgramStart.h"
#include "RecordSets.h"
#include "data/history/FrameCodec.h"
#include "data/history/RecordingFile.h"
#include "data/view/RecordView.h"
#include "monitor/FormRecording.h"
#include "monitor/HistoryBar.h"
#include "monitor/WindowHistory.h"
#include <QSlider>
#include "platform/QuillonError.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

// The main window: start-up, menus, placement and its saving at exit.
class TestFormMain : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;

    static QStringList menuTexts(const QMenu* menu)
    {
        QStringList texts;
        for (const QAction* action : menu->actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    }

    static QAction* action(const TFormMain& form, const char* name) { return Child<QAction>(&form, name); }

    // The program's executable; its folder holds the catalogue given and, if given, the settings.
    QString programWith(const QList<CatalogueEntry>& catalogue = {}, const QByteArray& settings = {})
    {
        program->writeCatalogue(catalogue);
        if (!settings.isEmpty())
            program->folder.write(QStringLiteral("Config/quillon.ini"), settings);
        return program->folder.executable();
    }

    QByteArray savedSettings() const { return program->folder.read(QStringLiteral("Config/quillon.ini")); }

private Q_SLOTS:
    void init() { program = std::make_unique<ProgramFixture>(); }
    void cleanup() { program.reset(); }

    void startUpCaptionAndTitle()
    {
        TFormMain form(programWith({{QStringLiteral("A"), QStringLiteral("1"), "select 1"}}));
        SetProgramVersion(form);
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillon 1.0.4.0"));
        QCOMPARE(Application::title(), QStringLiteral("Quillon"));
        QCOMPARE(App->Sensors.size(), std::size_t(1));
        QVERIFY(program->boxes.messages.isEmpty());
    }

    void menusActionsAndShortcuts()
    {
        TFormMain form(programWith());
        const QList<QAction*> top = form.menuBar()->actions();
        QStringList titles;
        for (QAction* a : top)
            titles << a->text();
        QCOMPARE(titles, (QStringList{"Главное", "Настройки", "Окно", "Помощь"}));
        QCOMPARE(menuTexts(top[0]->menu()), (QStringList{"Подключиться", "Открыть запись...", "Журнал действий...", "-", "Выход"}));
        QCOMPARE(menuTexts(top[1]->menu()), (QStringList{"Скрипты", "-", "Система"}));
        QCOMPARE(menuTexts(top[2]->menu()),
                 (QStringList{"&Горизонтально", "&Вертикально", "&Каскадом", "В&ыровнять", "-",
                              "&Mинимизировать все"}));
        QCOMPARE(menuTexts(top[3]->menu()), (QStringList{"Помощь", "О программе ..."}));

        const std::pair<const char*, const char*> shortcuts[] = {
            {"acConnect", "Alt+C"}, {"acExit", "Alt+X"}, {"acScripts", "Alt+Q"},
            {"acSettings", "Ctrl+Alt+S"}, {"acHelp", "F1"}, {"acAbout", "Alt+A"}};
        for (const auto& [name, keys] : shortcuts)
            QCOMPARE(action(form, name)->shortcut(), QKeySequence(QString::fromLatin1(keys)));
        QCOMPARE(action(form, "acScripts")->toolTip(), QStringLiteral("Справочник скриптов"));
        QCOMPARE(action(form, "acSettings")->toolTip(), QStringLiteral("Настройки системы"));
        for (const char* name : {"acConnect", "acExit", "acScripts", "acSettings", "acHelp", "acAbout",
                                 "WindowCascade1", "WindowTileVertical1", "WindowTileHorizontal1"})
            QVERIFY2(!action(form, name)->icon().isNull(), name);
        QVERIFY(action(form, "WindowArrange1")->icon().isNull());
    }

    void placementRestoredAndSaved()
    {
        const QString executable = programWith({}, "[Window]\r\nWindowState=0\r\nLeft=50\r\nTop=60\r\nHeight=300\r\nWidth=500\r\n");
        {
            TFormMain form(executable);
            QCOMPARE(form.pos(), QPoint(50, 60));
            QCOMPARE(form.size(), QSize(500, 300));
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            form.move(70, 80);
            form.resize(640, 420);
        }
        QVERIFY(App == nullptr);
        const QByteArray saved = savedSettings();
        QVERIFY2(saved.contains("WindowState=0\r\nLeft=70\r\nTop=80\r\nHeight=420\r\nWidth=640\r\n"), saved);
        QVERIFY(saved.contains("SLEEP_INTERVAL=200"));
    }

    void maximizedAtExitLeavesGeometry()
    {
        const QString executable = programWith({}, "[Window]\r\nWindowState=2\r\nLeft=5\r\nTop=6\r\nHeight=307\r\nWidth=408\r\n");
        {
            TFormMain form(executable);
            QVERIFY(form.windowState() & Qt::WindowMaximized);
            form.show();
        }
        const QByteArray saved = savedSettings();
        QVERIFY2(saved.contains("WindowState=2\r\nLeft=5\r\nTop=6\r\nHeight=307\r\nWidth=408\r\n"), saved);
    }

    void missingCatalogueIsReportedAndStartGoesOn()
    {
        program->folder.write(QStringLiteral("Config/quillon.ini"), "[Window]\r\nWindowState=0\r\nLeft=50\r\n");
        TFormMain form(program->folder.executable());
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].type, MessageType::Error);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Cannot open file ") + program->folder.path() + QStringLiteral("/Config/Sensors.ini"));
        QVERIFY(App != nullptr);
        // The rest of the creation was skipped: the design placement stands.
        QCOMPARE(form.pos(), QPoint(362, 160));
    }

    // A recording opens in the frame, its history controls all in sight at its smallest size; a
    // file that is no recording is told of and opens nothing.
    void recordingOpensInTheFrame()
    {
        TFormMain form(programWith());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        program->folder.write(QStringLiteral("Recordings/bad.qrec"), "no recording");
        QVERIFY(!form.OpenRecording(program->folder.file(QStringLiteral("Recordings/bad.qrec"))));
        QCOMPARE(program->boxes.messages.size(), 1);
        QVERIFY2(program->boxes.messages[0].text.contains(QStringLiteral("bad.qrec")), qPrintable(program->boxes.messages[0].text));
        QVERIFY(form.mdiArea()->subWindowList().isEmpty());

        const QString path = program->folder.file(QStringLiteral("Recordings/good.qrec"));
        {
            RecordingWriter writer(path, RecordingHeader{.server = QStringLiteral("srv"), .scriptName = QStringLiteral("Сеансы"),
                                                         .keyColumns = {QStringLiteral("spid")}});
            const auto first = ProcessesOf({{51, "runnable", "ann"}, {52, "sleeping", "bob"}});
            writer.write(EncodeKeyframe(*first, 1000));
            writer.write(EncodeDelta(*ProcessesOf({{51, "sleeping", "ann"}}), *first, {0}, 2000));
        }
        TFormRecording* recording = form.OpenRecording(path);
        QVERIFY(recording);
        QCOMPARE(form.mdiArea()->subWindowList().size(), 1);
        QCOMPARE(recording->windowTitle(), QStringLiteral("Запись: srv - Сеансы"));
        QCOMPARE(recording->History->History().size(), 2);
        QCOMPARE(recording->Records->recordCount(), 2);
        recording->HistoryControls->Slider->setValue(1);
        // The second refresh: 52 gone, shown struck through, and 51's status changed.
        QCOMPARE(recording->Records->recordCount(), 2);
        recording->resize(recording->minimumSizeHint());
        QApplication::processEvents();
        for (QAction* action : recording->HistoryControls->actions()) {
            QWidget* button = recording->HistoryControls->widgetForAction(action);
            if (!button || action->isSeparator())
                continue;
            QVERIFY2(button->isVisible(), qPrintable(action->text()));
            QVERIFY(recording->rect().contains(QRect(button->mapTo(recording, QPoint()), button->size())));
        }
    }

    // "Журнал действий..." shows the log as it is, read-only, its newest line in view at the bottom;
    // one that cannot be read is told of.
    void actionLogOpensFromTheMainMenu()
    {
        TFormMain form(programWith());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int i = 1; i <= 60; ++i)
            AppendAction(ActionLogPath(), {QDateTime(QDate(2026, 12, 9), QTime(20, 0, i % 60)), QStringLiteral("srv"),
                                           QStringLiteral("sa"), QStringLiteral("kill %1").arg(i), QStringLiteral("выполнена")});
        action(form, "acActionLog")->trigger();
        auto* log = Child<TFormActionLog>(&form, "FormActionLog");
        QVERIFY(log && log->isVisible());
        QVERIFY(log->Lines->isReadOnly());
        const QStringList lines = log->Lines->toPlainText().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 60);
        QCOMPARE(lines.last(), QStringLiteral("2026-12-09 20:00:00\tsrv\tsa\tkill 60\tвыполнена"));
        QApplication::processEvents();
        QCOMPARE(log->Lines->verticalScrollBar()->value(), log->Lines->verticalScrollBar()->maximum());
        log->close();

        QVERIFY(QFile::remove(ActionLogPath()));
        QVERIFY(QDir().mkpath(ActionLogPath()));
        action(form, "acActionLog")->trigger();
        QCOMPARE(program->boxes.messages.size(), 1);
        QVERIFY2(program->boxes.messages[0].text.contains(QStringLiteral("actions.log")), qPrintable(program->boxes.messages[0].text));
    }

    void childWindowsCloseBeforeSettingsAreSaved()
    {
        const QString executable = programWith();
        QStringList order;
        {
            TFormMain form(executable);
            for (const char* name : {"first", "second"}) {
                auto* child = form.mdiArea()->addSubWindow(new QWidget);
                child->setObjectName(QString::fromLatin1(name));
                connect(child, &QObject::destroyed, this, [&order, name] {
                    order << QString::fromLatin1(name) + (App ? QStringLiteral("+App") : QString());
                });
            }
        }
        QCOMPARE(order, (QStringList{"second+App", "first+App"}));
    }

    void aboutBoxShowsVersion()
    {
        TFormMain form(programWith());
        SetProgramVersion(form);
        TAboutBox box(&form);
        const CaptionTable captions{{"ProductName", "Product Name: Quillon"},
                                    {"Version", "Version: 1.0.4.0"},
                                    {"DateVersion", "Date: 21.10.2004"},
                                    {"Copyright", "Copyright:"},
                                    {"Comments", "Contacts:"},
                                    {"OKButton", "OK"}};
        const QStringList wrong = CaptionMismatches(&box, captions);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
        QCOMPARE(box.size(), QSize(298, 213));
        // The rights notice and the address show whole, from their first character.
        for (const char* name : {"Edit1", "Edit2"}) {
            const auto* field = Child<QLineEdit>(&box, name);
            QCOMPARE(field->cursorPosition(), 0);
            QVERIFY2(field->fontMetrics().horizontalAdvance(field->text()) + 4 <= field->contentsRect().width(),
                     qPrintable(field->text()));
        }
    }

    void errorEscapingAHandlerIsReportedAndWorkGoesOn()
    {
        struct Failing : QObject {
            bool event(QEvent* e) override
            {
                if (e->type() == QEvent::User)
                    throw FileError(QStringLiteral("Cannot open file x.sql"));
                return QObject::event(e);
            }
        } failing;
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(program->boxes.messages.size(), 2);
        QCOMPARE(program->boxes.messages[0].type, MessageType::Error);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Cannot open file x.sql"));
        QCOMPARE(program->boxes.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void qtTextsAreInRussian()
    {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::No)->text().remove(u'&'), QStringLiteral("Нет"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(u'&'), QStringLiteral("Отмена"));
    }

    void helpShowsManualWhenPresent()
    {
        TFormMain form(programWith());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        action(form, "acHelp")->trigger();
        QVERIFY(!Child(&form, "HelpWindow"));

        program->folder.write(QStringLiteral("Help/QUILLON32.html"),
                     "<html><head><title>Manual</title></head><body>Hello</body></html>");
        action(form, "acHelp")->trigger();
        auto* help = Child(&form, "HelpWindow");
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("Manual"));
    }
};

int main(int argc, char** argv)
{
    Application application(argc, argv);
    TestFormMain test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_form_main.moc"
