#include "FileBytes.h"
#include "ProgramApp.h"
#include "ScopedEnvironment.h"

#include "app/UserFolder.h"
#include "app/Utils.h"
#include "platform/FileSystem.h"
#include "platform/QuillonError.h"

#include <QtTest>

// The main settings file as the application object reads, creates and writes it.
class TestAppSettings : public QObject {
    Q_OBJECT

    // The main window's design values, as the program passes them in.
    static constexpr WindowGeometry Design{362, 160, 482, 696, 0};

private Q_SLOTS:
    void firstStartCreatesMainSectionOnly()
    {
        ProgramFolder folder;
        QDir(folder.file(QStringLiteral("Config"))).removeRecursively();
        WindowGeometry g = Design;
        auto app = MakeProgramApp(folder.executable(), g);

        const QString base = folder.path() + QLatin1Char('/');
        QCOMPARE(app->AppPath, base);
        const QByteArray expected = "[Main]\r\n"
                                    "ServerList=" + base.toUtf8() + "Config/Servers.lst\r\n"
                                    "ConnectionList=" + base.toUtf8() + "Config/Connections.ini\r\n"
                                    "SensorsFile=" + base.toUtf8() + "Config/Sensors.ini\r\n"
                                    "MenuFile=" + base.toUtf8() + "Config/Menus.ini\r\n"
                                    "INI_DELIMITER=;\r\n"
                                    "SLEEP_INTERVAL=200\r\n";
        QCOMPARE(folder.read(QStringLiteral("Config/quillon.ini")), expected);
        QCOMPARE(g.left, 362);
        QCOMPARE(g.top, 160);
        QCOMPARE(g.width, 696);
        QCOMPARE(g.height, 482);
        QCOMPARE(g.state, 0);
        QVERIFY(app->Sensors.empty());
    }

    void folderNameTheCodePageCannotHoldIsNeverWrittenLossily()
    {
        ProgramFolder folder;
        const QString program = folder.file(QStringLiteral("naïve ☃/quillon"));
        QDir().mkpath(folder.file(QStringLiteral("naïve ☃/Config")));
        folder.write(QStringLiteral("naïve ☃/Config/Sensors.ini"), "A;1;Scripts\\a.sql\r\n");
        for (int start = 0; start < 2; ++start) {
            const ProgramApp app = MakeProgramApp(program);
            app->LoadSensors();
            QCOMPARE(app->Sensors.size(), std::size_t(1));
            QCOMPARE(FileSystemPath(ExpandAppPath(app->ServerList)), folder.file(QStringLiteral("naïve ☃/Config/Servers.lst")));
            app->Destroy(0, 0, 100, 100, 0);
        }
        const QByteArray settings = folder.read(QStringLiteral("naïve ☃/Config/quillon.ini"));
        QVERIFY2(settings.contains("ServerList=Config\\Servers.lst\r\n"), settings);
        QVERIFY(settings.contains("ConnectionList=Config\\Connections.ini\r\n"));
        QVERIFY(settings.contains("SensorsFile=Config\\Sensors.ini\r\n"));
        QVERIFY(settings.contains("MenuFile=Config\\Menus.ini\r\n"));
        QVERIFY(!settings.contains('?'));
    }

    void stateAloneGivesDefaultPosition()
    {
        ProgramFolder folder;
        folder.write(QStringLiteral("Config/quillon.ini"), "[Window]\r\nWindowState=0\r\n");
        WindowGeometry g = Design;
        MakeProgramApp(folder.executable(), g);
        QCOMPARE(g.left, 3);
        QCOMPARE(g.top, 3);
        QCOMPARE(g.width, 696);
        QCOMPARE(g.height, 482);
    }

    void maximizedKeepsStoredGeometry()
    {
        ProgramFolder folder;
        folder.write(QStringLiteral("Config/quillon.ini"),
                     "[Window]\r\nWindowState=2\r\nLeft=10\r\nTop=20\r\nHeight=300\r\nWidth=400\r\n");
        WindowGeometry g = Design;
        auto app = MakeProgramApp(folder.executable(), g);
        QCOMPARE(g.state, 2);
        QCOMPARE(g.left, 362);
        QCOMPARE(g.width, 696);

        app->Destroy(1, 2, 3, 4, 2);
        const QByteArray after = folder.read(QStringLiteral("Config/quillon.ini"));
        QVERIFY(after.contains("WindowState=2\r\nLeft=10\r\nTop=20\r\nHeight=300\r\nWidth=400\r\n"));
        QVERIFY(after.contains("[Main]\r\nINI_DELIMITER=;\r\nSLEEP_INTERVAL=200\r\n"));
    }

    void normalStateWritesGeometryAtExit()
    {
        ProgramFolder folder;
        folder.write(QStringLiteral("Config/quillon.ini"), "[Main]\r\nSLEEP_INTERVAL=50\r\n");
        WindowGeometry g = Design;
        auto app = MakeProgramApp(folder.executable(), g);
        app->Destroy(11, 12, 13, 14, 0);
        QCOMPARE(folder.read(QStringLiteral("Config/quillon.ini")),
                 QByteArray("[Main]\r\nSLEEP_INTERVAL=50\r\nINI_DELIMITER=;\r\n"
                            "[Window]\r\nWindowState=0\r\nLeft=11\r\nTop=12\r\nHeight=13\r\nWidth=14\r\n"));
    }

    void oddValues_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<int>("sleep");
        QTest::addColumn<bool>("captions");
        QTest::newRow("blank delimiter") << QByteArray("[Main]\r\nINI_DELIMITER=   \r\n") << ";" << 200 << true;
        QTest::newRow("hex interval") << QByteArray("[Main]\r\nSLEEP_INTERVAL=0x1F4\r\n") << ";" << 500 << true;
        QTest::newRow("text interval") << QByteArray("[Main]\r\nSLEEP_INTERVAL=abc\r\n") << ";" << 200 << true;
        QTest::newRow("captions off") << QByteArray("[Window]\r\nShowCaptions=0\r\n") << ";" << 200 << false;
        QTest::newRow("captions text") << QByteArray("[Window]\r\nShowCaptions=abc\r\n") << ";" << 200 << true;
        QTest::newRow("other delimiter") << QByteArray("[main]\r\nini_delimiter=|\r\n") << "|" << 200 << true;
    }

    void oddValues()
    {
        QFETCH(QByteArray, file);
        ProgramFolder folder;
        folder.write(QStringLiteral("Config/quillon.ini"), file);
        WindowGeometry g = Design;
        auto app = MakeProgramApp(folder.executable(), g);
        QTEST(app->IniDelimiter, "delimiter");
        QTEST(app->SleepInterval, "sleep");
        QTEST(app->ShowCaptions, "captions");

        // What was read is what goes back at exit: a blank delimiter becomes ";", text becomes 200.
        app->Destroy(0, 0, 0, 0, 1);
        WindowGeometry again = Design;
        auto reread = MakeProgramApp(folder.executable(), again);
        QTEST(reread->IniDelimiter, "delimiter");
        QTEST(reread->SleepInterval, "sleep");
    }

    void unknownWindowStateOpensNormal()
    {
        ProgramFolder folder;
        folder.write(QStringLiteral("Config/quillon.ini"), "[Window]\r\nWindowState=7\r\nLeft=40\r\n");
        WindowGeometry g = Design;
        MakeProgramApp(folder.executable(), g);
        QCOMPARE(g.state, 0);
        QCOMPARE(g.left, 40);
    }

    void pathsStayAsConfigured()
    {
        ProgramFolder folder;
        folder.write(QStringLiteral("Config/quillon.ini"),
                     "[Main]\r\nServerList=\r\nSensorsFile=Config\\Other.ini\r\n");
        WindowGeometry g = Design;
        auto app = MakeProgramApp(folder.executable(), g);
        QCOMPARE(app->ServerList, QString());
        QCOMPARE(ExpandAppPath(app->ServerList), app->AppPath);
        QCOMPARE(app->SensorsFile, QStringLiteral("Config\\Other.ini"));
        QCOMPARE(app->MenuFile, app->AppPath + QStringLiteral("Config/Menus.ini"));
        QCOMPARE(app->OptionsFile, app->AppPath + QStringLiteral("Config/Options.ini"));
        folder.write(QStringLiteral("Config/quillon.ini"), "[Main]\r\nOptionsFile=Config\\Mine.ini\r\n");
        QCOMPARE(MakeProgramApp(folder.executable(), g)->OptionsFile, QStringLiteral("Config\\Mine.ini"));
    }

    void pathRule_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        const QString base = QStringLiteral("<base>");
        QTest::newRow("lone backslash") << "\\" << base;
        QTest::newRow("drive") << "D:" << "D:";
        QTest::newRow("drive relative") << "D:x.sql" << "D:x.sql";
        QTest::newRow("drive after backslash") << "\\C:\\Data\\s.ini" << "C:\\Data\\s.ini";
        QTest::newRow("relative") << "Scripts\\a.sql" << base + "Scripts\\a.sql";
        QTest::newRow("leading backslash") << "\\Config\\Sensors.ini" << base + "Config\\Sensors.ini";
        QTest::newRow("network path") << "\\\\srv\\share\\a.sql" << base + "\\srv\\share\\a.sql";
        QTest::newRow("empty") << "" << base;
        QTest::newRow("root") << "/etc/quillon/s.ini" << "/etc/quillon/s.ini";
    }

    void pathRule()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        ProgramFolder folder;
        const ProgramApp app = MakeProgramApp(folder);
        expected.replace(QStringLiteral("<base>"), app->AppPath);
        QCOMPARE(ExpandAppPath(path), expected);
    }

    void refusedWriteNamesTheFile()
    {
        ProgramFolder folder;
        WindowGeometry g = Design;
        auto app = MakeProgramApp(folder.executable(), g);
        // A folder standing where the settings file should be cannot be replaced by a file.
        QFile::remove(folder.settingsFile());
        QDir().mkpath(folder.settingsFile());
        try {
            app->Destroy(0, 0, 0, 0, 0);
            QFAIL("the write should have failed");
        } catch (const QuillonError& error) {
            QCOMPARE(error.message(), QStringLiteral("Unable to write to ") + app->MainSettingsFile());
        }
    }

    // An installed program's configuration: the per-user folder gets the sample files it lacks and
    // keeps the ones it has; a writable program folder is used as it is.
    void userFolderIsSeededWithoutOverwriting()
    {
        ProgramFolder program;
        program.write(QStringLiteral("Config/Sensors.ini"), "sample");
        program.write(QStringLiteral("Config/Menus.ini"), "menus");
        program.write(QStringLiteral("Scripts/postgresql/a.sql"), "select 1");
        program.write(QStringLiteral("Help/QUILLON32.html"), "manual");
        QTemporaryDir user;
        const QString base = user.path() + QLatin1Char('/');
        QDir().mkpath(base + QStringLiteral("Config"));
        PutBytes(base + QStringLiteral("Config/Sensors.ini"), "mine");

        SeedUserFolder(program.path() + QLatin1Char('/'), base);
        QCOMPARE(GetBytes(base + QStringLiteral("Config/Sensors.ini")), QByteArray("mine"));
        QCOMPARE(GetBytes(base + QStringLiteral("Config/Menus.ini")), QByteArray("menus"));
        QCOMPARE(GetBytes(base + QStringLiteral("Scripts/postgresql/a.sql")), QByteArray("select 1"));
        QVERIFY(!QFileInfo::exists(base + QStringLiteral("Help")));

        QCOMPARE(ConfigurationFolder(program.path() + QLatin1Char('/'), QStringLiteral("Config/quillon.ini")),
                 program.path() + QLatin1Char('/'));
        const ScopedEnvironment data{{"XDG_DATA_HOME", user.path().toUtf8()}};
        QCOMPARE(UserProgramFolder(), base + QStringLiteral("quillon/"));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_app_settings.moc"
