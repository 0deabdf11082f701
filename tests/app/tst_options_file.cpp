#include "ProgramFolder.h"

#include "app/OptionsFile.h"
#include "platform/TextCodec.h"

#include <QtTest>

// The options file: one section per script, column lists, what it keeps on rewrite.
class TestOptionsFile : public QObject {
    Q_OBJECT

    ProgramFolder folder;
    QString file() const { return folder.file(QStringLiteral("Config/Options.ini")); }

private Q_SLOTS:
    void readsTheScriptsOwnSectionOnly()
    {
        folder.write(QStringLiteral("Config/Options.ini"),
                     ToCp1251(QStringLiteral("[WHO]\r\nKeyColumns= spid , login_time,,\r\nCumulativeColumns=CPUTime,DiskIO\r\n"
                                             "[Сеансы]\r\nkeycolumns=pid\r\n")));
        QCOMPARE(ReadScriptOptions(file(), QStringLiteral("WHO")),
                 (ScriptOptions{{"spid", "login_time"}, {"CPUTime", "DiskIO"}}));
        // Section and key names as the other INI files read them: without regard to case.
        QCOMPARE(ReadScriptOptions(file(), QStringLiteral("сеансы")).keyColumns, QStringList{"pid"});
        QVERIFY(ReadScriptOptions(file(), QStringLiteral("OTHER")).empty());
        // A history limit typed wrong leaves the default in force.
        folder.write(QStringLiteral("Config/Options.ini"), "[WHO]\r\nHistoryMinutes= 15\r\nHistoryMegabytes=-3\r\n");
        const ScriptOptions limits = ReadScriptOptions(file(), QStringLiteral("WHO"));
        QCOMPARE(limits.keptMinutes(), 15);
        QCOMPARE(limits.keptMegabytes(), ScriptOptions::DefaultHistoryMegabytes);
        QVERIFY(ReadScriptOptions(folder.file(QStringLiteral("Config/None.ini")), QStringLiteral("WHO")).empty());
    }

    void rewriteKeepsWhatItDoesNotKnow()
    {
        folder.write(QStringLiteral("Config/Options.ini"),
                     "; the operator's own note\r\n[WHO]\r\nRule1=x\r\nKeyColumns=spid\r\n[LOCKS]\r\nKeyColumns=a\r\n");
        WriteScriptOptions(file(), QStringLiteral("WHO"), ScriptOptions{{}, {"CPUTime"}});
        QCOMPARE(folder.read(QStringLiteral("Config/Options.ini")),
                 QByteArray("; the operator's own note\r\n[WHO]\r\nRule1=x\r\nCumulativeColumns=CPUTime\r\n"
                            "[LOCKS]\r\nKeyColumns=a\r\n"));
        WriteScriptOptions(file(), QStringLiteral("Сеансы"), ScriptOptions{{"pid", "backend_start"}, {}});
        QVERIFY(folder.read(QStringLiteral("Config/Options.ini")).endsWith(ToCp1251(QStringLiteral("[Сеансы]\r\nKeyColumns=pid,backend_start\r\n"))));
        QCOMPARE(ReadScriptOptions(file(), QStringLiteral("Сеансы")), (ScriptOptions{{"pid", "backend_start"}, {}}));
    }
};

QTEST_GUILESS_MAIN(TestOptionsFile)
#include "tst_options_file.moc"
