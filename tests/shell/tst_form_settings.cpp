#include "FileDialogs.h"
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "Widgets.h"

#include "app/ModalResult.h"
#include "app/ServiceClasses.h"
#include "app/Utils.h"
#include "shell/FormMain.h"
#include "shell/FormSettings.h"
#include "catalogue/FormScriptList.h"
#include "connection/Connect.h"
#include "monitor/FormMon.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

// The settings dialog: the paths and the caption switch it shows, what Apply stores and where, and
// the tool bars of the open windows following the switch.
class TestFormSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    std::unique_ptr<TFormMain> form;

    TFormMon* openMonitor()
    {
        TConnect* descriptor = MonitorDescriptor({});
        TFormMon* window = form->OpenMonitor(descriptor);
        QCoreApplication::processEvents();
        return window;
    }

    static void verifyWhole(QToolBar* bar)
    {
        for (QAction* action : bar->actions()) {
            QWidget* control = bar->widgetForAction(action);
            QVERIFY2(control->isVisible(), qPrintable(action->text()));
            QVERIFY2(bar->rect().contains(control->geometry()), qPrintable(action->text()));
        }
    }

    QByteArray settingsBytes() const { return program->folder.read(QStringLiteral("Config/quillon.ini")); }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        program->folder.write(QStringLiteral("Config/Sensors.ini"), "A;1;a.sql\r\n");
        form = std::make_unique<TFormMain>(program->folder.executable());
        form->resize(1200, 900);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup()
    {
        program->verifyModals();
        form.reset();
        program.reset();
    }

    void showsTheSettings()
    {
        App->ConnectionList = QStringLiteral("Config\\c.ini");
        App->ShowCaptions = false;
        TFormSettings dialog(form->mdiArea(), form.get());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Настройки системы"));
        QCOMPARE(dialog.Edit2->text(), App->ServerList);
        QCOMPARE(dialog.Edit3->text(), QStringLiteral("Config\\c.ini"));
        QCOMPARE(dialog.Edit4->text(), App->SensorsFile);
        QCOMPARE(dialog.Edit5->text(), App->MenuFile);
        QVERIFY(!dialog.chBox1->isChecked());
        const CaptionTable captions{{"chBox1", "Отображать подписи к кнопкам"},
                                    {"Label2", "Файл списка серверов"},
                                    {"Label4", "Файл настройки соединений"},
                                    {"Label3", "Файл списка SQL скриптов"},
                                    {"Label5", "Файл настройки меню"},
                                    {"BitBtn1", "Применить"},
                                    {"BitBtn2", "Отменить"}};
        const QStringList wrong = CaptionMismatches(&dialog, captions);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
        QCOMPARE(dialog.OpenDlg->nameFilters(),
                 (QStringList{"Все файлы (*.*)", "Список серверов (*.lst)", "Файлы инициализации (*.ini)"}));
        QCOMPARE(dialog.OpenDlg->directory().absolutePath(), QDir(program->folder.file(QStringLiteral("Config"))).absolutePath());

        // A main window the screen holds whole: the dialog is kept on the screen.
        form->setGeometry(QRect(QPoint(0, 0), QSize(700, 500)));
        QCoreApplication::processEvents();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTRY_COMPARE(QApplication::focusWidget(), dialog.Edit2);
        QCOMPARE(TabOrder(dialog.Edit2, 10), (QStringList{"Edit2", "BitBtn3", "Edit3", "BitBtn4", "Edit4", "BitBtn5", "Edit5", "BitBtn6",
                                     "chBox1", "BitBtn1", "BitBtn2"}));
        // Centred over the main window, at the size of its contents.
        const QPoint offset = dialog.frameGeometry().center() - form->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2 off the centre of %3,%4 %5x%6")
                                                              .arg(offset.x())
                                                              .arg(offset.y())
                                                              .arg(form->frameGeometry().x())
                                                              .arg(form->frameGeometry().y())
                                                              .arg(form->frameGeometry().width())
                                                              .arg(form->frameGeometry().height())));
        QCOMPARE(dialog.size(), dialog.sizeHint());
        for (QToolButton* browse : {dialog.BitBtn3, dialog.BitBtn4, dialog.BitBtn5, dialog.BitBtn6}) {
            QVERIFY(browse->geometry().left() > dialog.Edit2->geometry().right());
            QVERIFY(!browse->icon().isNull());
        }
    }

    void browseButtonsFillTheirField_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("filter");
        QTest::newRow("server list") << "BitBtn3" << "Edit2" << "Укажите файл со списком серверов ..."
                                     << "Список серверов (*.lst)";
        // A Latin c after "файл".
        QTest::newRow("connections") << "BitBtn4" << "Edit3" << QStringLiteral("Укажите файл c настройками соединений ...")
                                     << "Файлы инициализации (*.ini)";
        QTest::newRow("scripts") << "BitBtn5" << "Edit4" << "Укажите файл со списком скриптов ..."
                                 << "Файлы инициализации (*.ini)";
        QTest::newRow("menus") << "BitBtn6" << "Edit5" << "Укажите файл с настройками меню ..."
                               << "Файлы инициализации (*.ini)";
    }

    void browseButtonsFillTheirField()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, title);
        QFETCH(QString, filter);
        QCOMPARE(title.contains(QStringLiteral("файл c ")), button == QStringLiteral("BitBtn4"));
        program->folder.write(QStringLiteral("Config/chosen.ini"), "");
        TFormSettings dialog(form->mdiArea(), form.get());
        QStringList fields;
        for (QLineEdit* edit : {dialog.Edit2, dialog.Edit3, dialog.Edit4, dialog.Edit5})
            fields << edit->text();
        QString shownTitle;
        QString shownFilter;
        program->modals.next<QFileDialog>([&](QFileDialog* open) {
            shownTitle = open->windowTitle();
            shownFilter = open->selectedNameFilter();
            ChooseFile(open, program->folder.file(QStringLiteral("Config/chosen.ini")));
        });
        dialog.findChild<QToolButton*>(button)->click();
        QCOMPARE(shownTitle, title);
        QCOMPARE(shownFilter, filter);
        QCOMPARE(dialog.findChild<QToolButton*>(button)->accessibleName(), title);
        for (QLineEdit* edit : {dialog.Edit2, dialog.Edit3, dialog.Edit4, dialog.Edit5}) {
            const QString before = fields.takeFirst();
            QCOMPARE(edit->text(), edit->objectName() == field
                                       ? QDir::toNativeSeparators(program->folder.file(QStringLiteral("Config/chosen.ini")))
                                       : before);
        }
    }

    void cancelAfterBrowsingKeepsEverything()
    {
        const QByteArray before = settingsBytes();
        const QString serverList = App->ServerList;
        TFormSettings dialog(form->mdiArea(), form.get());
        program->modals.next<QFileDialog>([&](QFileDialog* open) { ChooseFile(open, program->folder.file(QStringLiteral("Config/Sensors.ini"))); });
        dialog.BitBtn3->click();
        QVERIFY(dialog.Edit2->text().endsWith(QStringLiteral("Sensors.ini")));
        dialog.chBox1->setChecked(false);
        dialog.BitBtn2->click();
        QCOMPARE(dialog.result(), int(mrCancel));
        QCOMPARE(App->ServerList, serverList);
        QVERIFY(App->ShowCaptions);
        QCOMPARE(settingsBytes(), before);
    }

    void applyStoresThePathsAsTyped()
    {
        TFormSettings dialog(form->mdiArea(), form.get());
        dialog.Edit2->setText(QStringLiteral("Config\\Серверы.lst"));
        dialog.Edit3->setText(QString());
        dialog.Edit4->setText(QStringLiteral("Config\\x.ini"));
        dialog.Edit5->setText(QStringLiteral("/elsewhere/Menus.ini"));
        dialog.BitBtn1->click();
        QCOMPARE(dialog.result(), int(mrOk));
        QCOMPARE(App->ServerList, QStringLiteral("Config\\Серверы.lst"));
        QCOMPARE(App->ConnectionList, QString());
        QCOMPARE(App->SensorsFile, QStringLiteral("Config\\x.ini"));
        QCOMPARE(App->MenuFile, QStringLiteral("/elsewhere/Menus.ini"));
        // A relative path is resolved at each use, against the program folder.
        QCOMPARE(ExpandAppPath(App->SensorsFile), program->folder.path() + QStringLiteral("/Config\\x.ini"));
        QCOMPARE(settingsBytes(),
                 QByteArray("[Main]\r\nServerList=Config\\\xD1\xE5\xF0\xE2\xE5\xF0\xFB.lst\r\nConnectionList=\r\n"
                            "SensorsFile=Config\\x.ini\r\nMenuFile=/elsewhere/Menus.ini\r\nINI_DELIMITER=;\r\n"
                            "SLEEP_INTERVAL=200\r\n[Window]\r\nShowCaptions=1\r\n"));
        // The catalogue in memory is not reloaded.
        QCOMPARE(App->Sensors.size(), std::size_t(1));
    }

    void captionsOfOpenWindowsFollowAChange()
    {
        TFormMon* monitor = openMonitor();
        TFormScriptList* catalogue = form->OpenScriptList();
        QCoreApplication::processEvents();
        QToolBar* monitorBar = monitor->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
        const int monitorWide = monitorBar->width();
        const int catalogueWide = catalogue->ToolBar1->width();
        const int monitorNarrowest = monitor->minimumSizeHint().width();
        const int catalogueNarrowest = catalogue->minimumSizeHint().width();
        QCOMPARE(catalogue->ToolBar1->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);

        TFormSettings off(form->mdiArea(), form.get());
        off.chBox1->setChecked(false);
        off.BitBtn1->click();
        QVERIFY(!App->ShowCaptions);
        QCOMPARE(monitorBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(catalogue->ToolBar1->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QVERIFY(monitorBar->width() < monitorWide);
        QVERIFY(catalogue->ToolBar1->width() < catalogueWide);
        // The windows may now be made as narrow as their narrower tool bars (the monitor window
        // no narrower than its status bar), also by dragging a frame, which asks for the hint.
        QVERIFY(monitor->minimumSizeHint().width() <= monitorNarrowest);
        QVERIFY(catalogue->minimumSizeHint().width() < catalogueNarrowest);
        QCOMPARE(catalogue->minimumSize(), catalogue->minimumSizeHint());
        QVERIFY(settingsBytes().contains("[Window]\r\nShowCaptions=0\r\n"));
        QCoreApplication::processEvents();
        verifyWhole(catalogue->ToolBar1);

        // Back on, a window narrower than its tool bar now is widened to show it whole.
        catalogue->resize(catalogue->minimumSize());
        TFormSettings on(form->mdiArea(), form.get());
        on.chBox1->setChecked(true);
        on.BitBtn1->click();
        QCOMPARE(catalogue->ToolBar1->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        QCOMPARE(catalogue->ToolBar1->width(), catalogueWide);
        QCoreApplication::processEvents();
        verifyWhole(catalogue->ToolBar1);
        verifyWhole(monitorBar);
        QVERIFY(catalogue->ToolBar1->geometry().right() < catalogue->Body->width());
    }

    void anUnchangedSwitchTouchesNoToolBar()
    {
        TFormScriptList* catalogue = form->OpenScriptList();
        QCoreApplication::processEvents();
        catalogue->ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        TFormSettings dialog(form->mdiArea(), form.get());
        dialog.Edit4->setText(QStringLiteral("Config\\other.ini"));
        dialog.BitBtn1->click();
        QCOMPARE(catalogue->ToolBar1->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY(settingsBytes().contains("ShowCaptions=1"));
    }

    void aRefusedWriteKeepsTheDialogOpen()
    {
        QFile::remove(program->folder.settingsFile());
        QVERIFY(QDir().mkpath(program->folder.settingsFile()));
        TFormSettings dialog(form->mdiArea(), form.get());
        dialog.show();
        dialog.Edit4->setText(QStringLiteral("Config\\x.ini"));
        dialog.BitBtn1->click();
        QCOMPARE(program->boxes.messages.size(), 1);
        QCOMPARE(program->boxes.messages[0].text, QStringLiteral("Unable to write to ") + program->folder.settingsFile());
        QVERIFY(dialog.isVisible());
        QCOMPARE(App->SensorsFile, QStringLiteral("Config\\x.ini"));
    }

    void settingsCommandOpensTheDialog()
    {
        QAction* settings = form->findChild<QAction*>(QStringLiteral("acSettings"));
        QVERIFY(settings->isEnabled());
        QString caption;
        program->modals.next<TFormSettings>([&](TFormSettings* dialog) {
            caption = dialog->windowTitle();
            QVERIFY(dialog->isModal());
            dialog->BitBtn2->click();
        });
        settings->trigger();
        QCOMPARE(caption, QStringLiteral("Настройки системы"));
    }
};

QTEST_MAIN(TestFormSettings)
#include "tst_form_settings.moc"
