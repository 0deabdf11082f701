#include "ProgramFixture.h"
#include "Widgets.h"

#include "app/ModalResult.h"
#include "app/ServiceClasses.h"
#include "app/Utils.h"
#include "connection/Connect.h"
#include "connection/FormLogon.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

// The server list and the connection profiles as the logon dialog reads and writes them.
class TestConnectionProfiles : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;

    static QStringList items(QComboBox* box)
    {
        QStringList result;
        for (int i = 0; i < box->count(); ++i)
            result << box->itemText(i);
        return result;
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        program->startApp();
    }

    void cleanup() { program.reset(); }

    void firstStartWithoutFiles()
    {
        TConnect descriptor;
        TFormLogon logon(descriptor);
        QCOMPARE(Child<QComboBox>(&logon, "ComboBox1")->count(), 0);
        QVERIFY(Child<QRadioButton>(&logon, "RadioButton1")->isChecked());
        QVERIFY(!Child<QLineEdit>(&logon, "Edit1")->isEnabled());
        QVERIFY(!Child<QLineEdit>(&logon, "Edit2")->isEnabled());
        QCOMPARE(Child<QLineEdit>(&logon, "Edit2")->echoMode(), QLineEdit::Password);
        QCOMPARE(descriptor.Sleep, 3);
        QCOMPARE(descriptor.QueryIndex, 0);
        QCOMPARE(descriptor.WindowState, 0);
        QCOMPARE(descriptor.ConnectionTimeout, 0);
        QCOMPARE(descriptor.CommandTimeout, 0);
        QCOMPARE(descriptor.Height, 0);
        QCOMPARE(descriptor.TemplateDir, QString());
        QCOMPARE(logon.windowTitle(), QStringLiteral("Вход в систему - [Версия MDAC: 3.5]"));
        QVERIFY(program->boxes.messages.isEmpty());
    }

    void captionTakesThreeCharacters()
    {
        QCOMPARE(LogonCaption(QStringLiteral("2.81.1117.0")), QStringLiteral("Вход в систему - [Версия MDAC: 2.8]"));
        QCOMPARE(LogonCaption(QString()), QStringLiteral("Вход в систему - [Версия MDAC: ]"));
    }

    void connectionStrings()
    {
        QCOMPARE(WindowsAuthConnectionString(QStringLiteral("SRV")),
                 QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                "Data Source=SRV;Application Name=\"Quillon\""));
        QCOMPARE(SqlAuthConnectionString(QStringLiteral("SRV\\INST"), QStringLiteral("sa")),
                 QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=SRV\\INST;User ID=sa;"
                                "Replication server name connect option=True;Application Name=\"Quillon\""));
        // A value that would cut the string short is quoted; plain values go in as typed.
        QCOMPARE(ConnectionStringValue(QStringLiteral("a;b\"c")), QStringLiteral("\"a;b\"\"c\""));
        QCOMPARE(ConnectionStringValue(QStringLiteral("p@ss=1}")), QStringLiteral("p@ss=1}"));
        QCOMPARE(ConnectionStringValue(QString()), QString());
        QCOMPARE(ProbeLoginTimeout(0), 15);
        QCOMPARE(ProbeLoginTimeout(4), 4);
    }

    void serverWithoutSection()
    {
        program->folder.write(QStringLiteral("Config/Servers.lst"), "SRV\r\n");
        program->folder.write(QStringLiteral("Config/Connections.ini"), "[OTHER]\r\nSleep=9\r\n");
        TConnect descriptor;
        TFormLogon logon(descriptor);
        QCOMPARE(descriptor.Sleep, 3);
        QCOMPARE(descriptor.ConnectionTimeout, 15);
        QCOMPARE(descriptor.CommandTimeout, 30);
        QCOMPARE(descriptor.QueryIndex, 0);
        QCOMPARE(descriptor.Height, 0);
        QCOMPARE(descriptor.Width, 0);
        QCOMPARE(descriptor.WindowState, 2);
        QCOMPARE(descriptor.TemplateDir, QStringLiteral("Tempates\\"));
        QVERIFY(!descriptor.Encrypt);
    }

    void listWithoutConnectionsFileGetsProfileAtClose()
    {
        program->folder.write(QStringLiteral("Config/Servers.lst"), "SRV\r\n");
        TConnect descriptor;
        {
            TFormLogon logon(descriptor);
            QCOMPARE(descriptor.WindowState, 0);
            QCOMPARE(descriptor.ConnectionTimeout, 0);
            logon.done(mrCancel);
        }
        QCOMPARE(program->folder.read(QStringLiteral("Config/Connections.ini")),
                 QByteArray("[SRV]\r\nAuthorization=1\r\nLastUser=\r\n"));
        QCOMPARE(program->folder.read(QStringLiteral("Config/Servers.lst")), QByteArray("SRV\r\n"));
    }

    void loginFilesAreReadableByTheirOwnerOnly()
    {
        TConnect descriptor;
        {
            TFormLogon logon(descriptor);
            Child<QComboBox>(&logon, "ComboBox1")->setEditText(QStringLiteral("SRV"));
            logon.done(mrCancel);
        }
        const auto readable = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QCOMPARE(QFile::permissions(program->folder.file(QStringLiteral("Config/Servers.lst"))) & readable, QFileDevice::ReadOwner);
        QCOMPARE(QFile::permissions(program->folder.file(QStringLiteral("Config/Connections.ini"))) & readable, QFileDevice::ReadOwner);
    }

    void profileOfFirstServerIsLoaded()
    {
        program->folder.write(QStringLiteral("Config/Servers.lst"), "A\r\nB\r\n");
        program->folder.write(QStringLiteral("Config/Connections.ini"),
                      "[a]\r\nAuthorization=0\r\nLastUser=sa\r\nSleep=abc\r\nQueryIndex=$2\r\nWidth=0x10\r\n"
                      "TemplateDir=C:\\T\\\r\nEncrypt=1\r\n[B]\r\nSleep=60\r\n");
        TConnect descriptor;
        TFormLogon logon(descriptor);
        QVERIFY(Child<QRadioButton>(&logon, "RadioButton2")->isChecked());
        QVERIFY(Child<QLineEdit>(&logon, "Edit1")->isEnabled());
        QCOMPARE(Child<QLineEdit>(&logon, "Edit1")->text(), QStringLiteral("sa"));
        logon.show();
        QVERIFY(QTest::qWaitForWindowActive(&logon));
        QCOMPARE(QApplication::focusWidget(), Child<QLineEdit>(&logon, "Edit1"));
        QCOMPARE(descriptor.Sleep, 3);
        QCOMPARE(descriptor.QueryIndex, 2);
        QCOMPARE(descriptor.Width, 16);
        QCOMPARE(descriptor.TemplateDir, QStringLiteral("C:\\T\\"));
        QVERIFY(descriptor.Encrypt);
        QCOMPARE(Child<QComboBox>(&logon, "ComboBox1")->currentText(), QStringLiteral("A"));
    }

    void hexAuthorizationIsTrue()
    {
        program->folder.write(QStringLiteral("Config/Servers.lst"), "A\r\n");
        program->folder.write(QStringLiteral("Config/Connections.ini"), "[A]\r\nAuthorization=0x1\r\nLastUser=sa\r\n");
        TConnect descriptor;
        TFormLogon logon(descriptor);
        QVERIFY(Child<QRadioButton>(&logon, "RadioButton1")->isChecked());
        logon.show();
        QVERIFY(QTest::qWaitForWindowActive(&logon));
        QVERIFY(Child<QComboBox>(&logon, "ComboBox1")->isAncestorOf(QApplication::focusWidget())
                || QApplication::focusWidget() == Child<QComboBox>(&logon, "ComboBox1"));
    }

    void promotionAndEmptyLinesAreWrittenBack()
    {
        program->folder.write(QStringLiteral("Config/Servers.lst"), "srv1\r\n\r\nother\r\n");
        TConnect descriptor;
        {
            TFormLogon logon(descriptor);
            auto* box = Child<QComboBox>(&logon, "ComboBox1");
            QCOMPARE(items(box), (QStringList{"srv1", "", "other"}));
            box->setEditText(QStringLiteral("SRV1"));
            PromoteComboText(box);
            logon.done(mrCancel);
        }
        QCOMPARE(program->folder.read(QStringLiteral("Config/Servers.lst")), QByteArray("SRV1\r\n\r\nother\r\n"));
    }

    void leavingServerBoxPromotesItsText()
    {
        program->folder.write(QStringLiteral("Config/Servers.lst"), "srv1\r\nsrv2\r\n");
        TConnect descriptor;
        TFormLogon logon(descriptor);
        logon.show();
        QVERIFY(QTest::qWaitForWindowActive(&logon));
        auto* box = Child<QComboBox>(&logon, "ComboBox1");
        box->setFocus();
        box->setEditText(QStringLiteral("SRV2"));
        Child<QRadioButton>(&logon, "RadioButton2")->setFocus();
        QCOMPARE(items(box), (QStringList{"SRV2", "srv1"}));
        QCOMPARE(box->currentIndex(), 0);
    }

    void escapeInPasswordBoxLeavesAndWrites()
    {
        program->folder.write(QStringLiteral("Config/Servers.lst"), "A\r\n");
        program->folder.write(QStringLiteral("Config/Connections.ini"), "[A]\r\nAuthorization=0\r\nLastUser=sa\r\n");
        TConnect descriptor;
        TFormLogon logon(descriptor);
        logon.show();
        QVERIFY(QTest::qWaitForWindowActive(&logon));
        auto* password = Child<QLineEdit>(&logon, "Edit2");
        password->setFocus();
        QTest::keyClick(password, Qt::Key_Escape);
        QCOMPARE(logon.result(), int(mrCancel));
        QCOMPARE(program->folder.read(QStringLiteral("Config/Connections.ini")),
                 QByteArray("[A]\r\nAuthorization=0\r\nLastUser=sa\r\n"));
        QCOMPARE(program->folder.read(QStringLiteral("Config/Servers.lst")), QByteArray("A\r\n"));
    }

    void windowsAuthClearsUserAtClose()
    {
        program->folder.write(QStringLiteral("Config/Servers.lst"), "A\r\n");
        program->folder.write(QStringLiteral("Config/Connections.ini"), "[A]\r\nAuthorization=0\r\nLastUser=sa\r\n");
        TConnect descriptor;
        {
            TFormLogon logon(descriptor);
            Child<QRadioButton>(&logon, "RadioButton1")->click();
            QVERIFY(!Child<QLineEdit>(&logon, "Edit1")->isEnabled());
            logon.done(mrCancel);
        }
        QCOMPARE(program->folder.read(QStringLiteral("Config/Connections.ini")),
                 QByteArray("[A]\r\nAuthorization=1\r\nLastUser=\r\n"));
    }
};

QTEST_MAIN(TestConnectionProfiles)
#include "tst_connection_profiles.moc"
