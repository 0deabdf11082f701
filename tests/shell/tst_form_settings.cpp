#include "FileDialogs.h"
#include "MessageRecorder.h"
#include "ModalDriver.h"
#include "ProgramFolder.h"

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

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageRecorder> boxes;
    std::unique_ptr<TFormMain> form;
    std::unique_ptr<QObject> scope;
    ModalDriver* driver = nullptr;

    TFormMon* openMonitor()
    {
        auto* descriptor = new TConnect;
        descriptor->Server = QStringLiteral("srv");
        descriptor->Width = 900;
        descriptor->Height = 500;
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

    QByteArray settingsBytes() const { return folder->read(QStringLiteral("Config/quillon.ini")); }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        folder->write(QStringLiteral("Config/Sensors.ini"), "A;1;a.sql\r\n");
        boxes = std::make_unique<MessageRecorder>();
        scope = std::make_unique<QObject>();
        driver = new ModalDriver(scope.get());
        form = std::make_unique<TFormMain>(folder->executable());
        form->resize(1200, 900);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup()
    {
        QVERIFY2(driver->failures.isEmpty(), qPrintable(driver->failures.join(u'\n')));
        scope.reset();
        form.reset();
        boxes.reset();
        folder.reset();
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
        QCOMPARE(dialog.chBox1->text(), QStringLiteral("Отображать подписи к кнопкам"));
        QStringList labels;
        for (const char* name : {"Label2", "Label4", "Label3", "Label5"})
            labels << dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
        QCOMPARE(labels, (QStringList{"Файл списка серверов", "Файл настройки соединений", "Файл списка SQL скриптов",
                                      "Файл настройки меню"}));
        QCOMPARE(dialog.BitBtn1->text(), QStringLiteral("Применить"));
        QCOMPARE(dialog.BitBtn2->text(), QStringLiteral("Отменить"));
        QCOMPARE(dialog.OpenDlg->nameFilters(),
                 (QStringList{"Все файлы (*.*)", "Список серверов (*.lst)", "Файлы инициализации (*.ini)"}));
        QCOMPARE(dialog.OpenDlg->directory().absolutePath(), QDir(folder->file(QStringLiteral("Config"))).absolutePath());

        // A main window the screen holds whole: the dialog is kept on the screen.
        form->setGeometry(QRect(QPoint(0, 0), QSize(700, 500)));
        QCoreApplication::processEvents();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTRY_COMPARE(QApplication::focusWidget(), dialog.Edit2);
        QWidget* next = dialog.Edit2;
        QStringList order{next->objectName()};
        for (int i = 0; i < 10; ++i) {
            next = next->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            order << next->objectName();
        }
        QCOMPARE(order, (QStringList{"Edit2", "BitBtn3", "Edit3", "BitBtn4", "Edit4", "BitBtn5", "Edit5", "BitBtn6",
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
        folder->write(QStringLiteral("Config/chosen.ini"), "");
        TFormSettings dialog(form->mdiArea(), form.get());
        QStringList fields;
        for (QLineEdit* edit : {dialog.Edit2, dialog.Edit3, dialog.Edit4, dialog.Edit5})
            fields << edit->text();
        QString shownTitle;
        QString shownFilter;
        driver->next<QFileDialog>([&](QFileDialog* open) {
            shownTitle = open->windowTitle();
            shownFilter = open->selectedNameFilter();
            ChooseFile(open, folder->file(QStringLiteral("Config/chosen.ini")));
        });
        dialog.findChild<QToolButton*>(button)->click();
        QCOMPARE(shownTitle, title);
        QCOMPARE(shownFilter, filter);
        QCOMPARE(dialog.findChild<QToolButton*>(button)->accessibleName(), title);
        for (QLineEdit* edit : {dialog.Edit2, dialog.Edit3, dialog.Edit4, dialog.Edit5}) {
            const QString before = fields.takeFirst();
            QCOMPARE(edit->text(), edit->objectName() == field
                                       ? QDir::toNativeSeparators(folder->file(QStringLiteral("Config/chosen.ini")))
                                       : before);
        }
    }

    void cancelAfterBrowsingKeepsEverything()
    {
        const QByteArray before = settingsBytes();
        const QString serverList = App->ServerList;
        TFormSettings dialog(form->mdiArea(), form.get());
        driver->next<QFileDialog>([&](QFileDialog* open) { ChooseFile(open, folder->file(QStringLiteral("Config/Sensors.ini"))); });
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
        QCOMPARE(ExpandAppPath(App->SensorsFile), folder->path() + QStringLiteral("/Config\\x.ini"));
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
        QFile::remove(folder->settingsFile());
        QVERIFY(QDir().mkpath(folder->settingsFile()));
        TFormSettings dialog(form->mdiArea(), form.get());
        dialog.show();
        dialog.Edit4->setText(QStringLiteral("Config\\x.ini"));
        dialog.BitBtn1->click();
        QCOMPARE(boxes->messages.size(), 1);
        QCOMPARE(boxes->messages[0].text, QStringLiteral("Unable to write to ") + folder->settingsFile());
        QVERIFY(dialog.isVisible());
        QCOMPARE(App->SensorsFile, QStringLiteral("Config\\x.ini"));
    }

    void settingsCommandOpensTheDialog()
    {
        QAction* settings = form->findChild<QAction*>(QStringLiteral("acSettings"));
        QVERIFY(settings->isEnabled());
        QString caption;
        driver->next<TFormSettings>([&](TFormSettings* dialog) {
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
