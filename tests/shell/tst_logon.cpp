#include "DatabaseTest.h"
#include "ProgramFixture.h"
#include "TestDatabase.h"

#include "app/Application.h"
#include "app/ModalResult.h"
#include "app/ServiceClasses.h"
#include "shell/FormMain.h"
#include "connection/Connect.h"
#include "connection/FormLogon.h"
#include "monitor/FormMon.h"
#include "platform/TextCodec.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

// Logging on to the real test server through its data source name, to the SQL Server stand-in
// through FreeTDS, and the connect sequence of the main window with its three attempts.
class TestLogon : public DatabaseTest {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    ProgramFolder* folder = nullptr;
    MessageRecorder* boxes = nullptr;
    ModalDriver* driver = nullptr;

    template <typename T>
    static T* child(QWidget* parent, const char* name)
    {
        return parent->findChild<T*>(QString::fromLatin1(name));
    }

    // Fills the dialog for a SQL Server login and presses "Подключиться".
    static void logOn(TFormLogon* logon, const QString& password, const QString& server = TestDatabase::pgDsn(),
                      const QString& user = TestDatabase::user())
    {
        child<QRadioButton>(logon, "RadioButton2")->click();
        child<QComboBox>(logon, "ComboBox1")->setEditText(server);
        child<QLineEdit>(logon, "Edit1")->setText(user);
        child<QLineEdit>(logon, "Edit2")->setText(password);
        child<QPushButton>(logon, "BitBtn1")->click();
    }

    // Types text into a box as the keyboard does, one key event per character (Cyrillic included).
    static void type(QWidget* box, const QString& text)
    {
        box->setFocus();
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
        }
    }

    // Schedules answers for the logon dialogs to come: true logs on, false fails, and a missing
    // answer leaves with "Выход".
    void answerLogons(QList<int> answers, QPointer<QWidget> answered = {})
    {
        if (answers.isEmpty())
            return;
        const int answer = answers.takeFirst();
        driver->next<TFormLogon>([this, answer, answers](TFormLogon* logon) {
            // The dialog stays open while it connects, and the interface goes on meanwhile.
            answerLogons(answers, logon);
            if (answer == mrCancel)
                child<QPushButton>(logon, "BitBtn2")->click();
            else
                logOn(logon, answer == mrOk ? TestDatabase::password() : QStringLiteral("wrong"));
        }, 20000, answered);
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        folder = &program->folder;
        boxes = &program->boxes;
        driver = &program->modals;
        folder->write(QStringLiteral("Config/Sensors.ini"), "A;A;a.sql\r\n");
    }

    void cleanup()
    {
        program->verifyModals();
        program.reset();
    }

    void userBoxesFollowTheAuthenticationButtons()
    {
        TFormMain form(folder->executable());
        TConnect descriptor;
        TFormLogon logon(descriptor, &form);
        auto* windows = child<QRadioButton>(&logon, "RadioButton1");
        auto* sql = child<QRadioButton>(&logon, "RadioButton2");
        auto* user = child<QLineEdit>(&logon, "Edit1");
        auto* password = child<QLineEdit>(&logon, "Edit2");
        QVERIFY(!user->isEnabled() && !password->isEnabled());
        // As a screen reader chooses: the button's toggle action, no click.
        QAccessibleActionInterface* action = QAccessible::queryAccessibleInterface(sql)->actionInterface();
        QVERIFY(action->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        action->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(sql->isChecked());
        QVERIFY(user->isEnabled() && password->isEnabled());
        windows->setChecked(true);
        QVERIFY(!user->isEnabled() && !password->isEnabled());
    }

    void successfulLogonFillsDescriptor()
    {
        TFormMain form(folder->executable());
        TConnect descriptor;
        TFormLogon logon(descriptor, &form);
        answerLogons({mrOk});
        QCOMPARE(logon.exec(), int(mrOk));
        QCOMPARE(descriptor.Server, TestDatabase::pgDsn());
        QCOMPARE(descriptor.WindowsAuth, 0);
        QCOMPARE(descriptor.ConnectionString,
                 SqlAuthConnectionString(TestDatabase::pgDsn(), TestDatabase::user()) + QStringLiteral(";Password=")
                     + ConnectionStringValue(TestDatabase::password()));
        QCOMPARE(descriptor.Password, TestDatabase::password());
        QCOMPARE(folder->read(QStringLiteral("Config/Servers.lst")), TestDatabase::pgDsn().toUtf8() + "\r\n");
        QVERIFY(folder->read(QStringLiteral("Config/Connections.ini"))
                    .contains("Authorization=0\r\nLastUser=" + TestDatabase::user().toUtf8()));
    }

    void enterInTheServerBoxConnects()
    {
        TFormMain form(folder->executable());
        TConnect descriptor;
        TFormLogon logon(descriptor, &form);
        driver->next<TFormLogon>([](TFormLogon* shown) {
            child<QRadioButton>(shown, "RadioButton2")->click();
            auto* server = child<QComboBox>(shown, "ComboBox1");
            server->setEditText(TestDatabase::pgDsn());
            child<QLineEdit>(shown, "Edit1")->setText(TestDatabase::user());
            child<QLineEdit>(shown, "Edit2")->setText(TestDatabase::password());
            // Through the window, as a key pressed on the keyboard arrives.
            server->lineEdit()->setFocus();
            QTest::keyClick(shown->windowHandle(), Qt::Key_Return);
        });
        QCOMPARE(logon.exec(), int(mrOk));
        QCOMPARE(descriptor.Server, TestDatabase::pgDsn());
    }

    void wrongPasswordFailsSilently()
    {
        TFormMain form(folder->executable());
        TConnect descriptor;
        TFormLogon logon(descriptor, &form);
        answerLogons({mrNo});
        QCOMPARE(logon.exec(), int(mrNo));
        QVERIFY(boxes->messages.isEmpty());
    }

    // SQL Server authentication through FreeTDS to the SQL Server stand-in (a test fixture): by data
    // source name and by host and port, a login typed in Cyrillic, a password that needs braces.
    void sqlServerLogon_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("result");
        QTest::newRow("data source") << TestDatabase::mssqlDsn() << TestDatabase::user() << TestDatabase::password() << int(mrOk);
        QTest::newRow("host and port") << TestDatabase::mssqlServer() << TestDatabase::user() << TestDatabase::password()
                                       << int(mrOk);
        QTest::newRow("Cyrillic login") << TestDatabase::mssqlServer() << TestDatabase::cyrillicUser()
                                        << TestDatabase::cyrillicPassword() << int(mrOk);
        QTest::newRow("wrong password") << TestDatabase::mssqlDsn() << TestDatabase::cyrillicUser() << TestDatabase::password()
                                        << int(mrNo);
    }
    void sqlServerLogon()
    {
        QFETCH(QString, server);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, result);
        TFormMain form(folder->executable());
        TConnect descriptor;
        TFormLogon logon(descriptor, &form);
        driver->next<TFormLogon>([&](TFormLogon* shown) {
            child<QRadioButton>(shown, "RadioButton2")->click();
            child<QComboBox>(shown, "ComboBox1")->setEditText(server);
            type(child<QLineEdit>(shown, "Edit1"), user);
            type(child<QLineEdit>(shown, "Edit2"), password);
            child<QPushButton>(shown, "BitBtn1")->click();
        });
        QCOMPARE(logon.exec(), result);
        QVERIFY(boxes->messages.isEmpty());
        QCOMPARE(descriptor.Server, server);
        QCOMPARE(descriptor.Password, password);
        QCOMPARE(descriptor.ConnectionString, SqlAuthConnectionString(server, user) + QStringLiteral(";Password=")
                                                  + ConnectionStringValue(password));
        QVERIFY(folder->read(QStringLiteral("Config/Connections.ini")).contains("LastUser=" + ToCp1251(user)));
    }

    // A profile that asks for encryption: the logon asks for it in the connection string, and a server
    // that can encrypt is reached.
    void profileAsksForEncryption()
    {
        folder->write(QStringLiteral("Config/Servers.lst"), TestDatabase::mssqlDsn().toUtf8() + "\r\n");
        folder->write(QStringLiteral("Config/Connections.ini"),
                      "[" + TestDatabase::mssqlDsn().toUtf8() + "]\r\nAuthorization=0\r\nEncrypt=1\r\n");
        TFormMain form(folder->executable());
        TConnect descriptor;
        TFormLogon logon(descriptor, &form);
        driver->next<TFormLogon>([](TFormLogon* shown) { logOn(shown, TestDatabase::password(), TestDatabase::mssqlDsn()); });
        QCOMPARE(logon.exec(), int(mrOk));
        QVERIFY(descriptor.Encrypt);
        QVERIFY(descriptor.ConnectionString.contains(QStringLiteral(";Use Encryption for Data=True;Password=")));
    }

    void connectSequence_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("windows");
        const QString retry = QStringLiteral("Невозможно произвести соединение с базой данных.\nПовторите попытку.");
        const QString final = QStringLiteral("Невозможно произвести соединение с базой данных.\nРабота завершена.");
        QTest::newRow("three failures") << QList<int>{mrNo, mrNo, mrNo} << QStringList{retry, retry, final} << 0;
        QTest::newRow("second attempt") << QList<int>{mrNo, mrOk} << QStringList{retry} << 1;
        QTest::newRow("third attempt") << QList<int>{mrNo, mrNo, mrOk} << QStringList{retry, retry} << 1;
        QTest::newRow("cancel") << QList<int>{mrCancel} << QStringList{} << 0;
        QTest::newRow("failure then cancel") << QList<int>{mrNo, mrCancel} << QStringList{retry} << 0;
    }

    void connectSequence()
    {
        QFETCH(QList<int>, answers);
        TFormMain form(folder->executable());
        form.show();
        answerLogons(answers);
        form.findChild<QAction*>(QStringLiteral("acConnect"))->trigger();
        QStringList shown;
        for (const ShownMessage& m : boxes->messages) {
            QCOMPARE(m.type, MessageType::Error);
            QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            shown << m.text;
        }
        QTEST(shown, "shown");
        QTEST(int(form.mdiArea()->subWindowList().size()), "windows");
        QVERIFY(Connect == nullptr);
        if (!form.mdiArea()->subWindowList().isEmpty()) {
            auto* monitor = qobject_cast<TFormMon*>(form.mdiArea()->subWindowList().first());
            QVERIFY(monitor);
            QCOMPARE(monitor->windowTitle(), TestDatabase::pgDsn());
            QCOMPARE(Application::title(), QStringLiteral("Quillon - ") + TestDatabase::pgDsn());
        }
    }
};

QTEST_MAIN(TestLogon)
#include "tst_logon.moc"
