#include "ProgramFolder.h"

#include "app/OptionsFile.h"
#include "platform/TextCodec.h"

#include <QtTest>

// The options file: one section per script, column lists, what it keeps on rewrite.
namespace {
ScriptOptions Columns(const QStringList& keys, const QStringList& cumulative)
{
    ScriptOptions options;
    options.keyColumns = keys;
    options.cumulativeColumns = cumulative;
    return options;
}
} // namespace

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
                 (Columns({"spid", "login_time"}, {"CPUTime", "DiskIO"})));
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
                     "; the operator's own note\r\n[WHO]\r\nRemark=x\r\nKeyColumns=spid\r\n[LOCKS]\r\nKeyColumns=a\r\n");
        WriteScriptOptions(file(), QStringLiteral("WHO"), Columns({}, {"CPUTime"}));
        QCOMPARE(folder.read(QStringLiteral("Config/Options.ini")),
                 QByteArray("; the operator's own note\r\n[WHO]\r\nRemark=x\r\nCumulativeColumns=CPUTime\r\n"
                            "[LOCKS]\r\nKeyColumns=a\r\n"));
        WriteScriptOptions(file(), QStringLiteral("Сеансы"), Columns({"pid", "backend_start"}, {}));
        QVERIFY(folder.read(QStringLiteral("Config/Options.ini")).endsWith(ToCp1251(QStringLiteral("[Сеансы]\r\nKeyColumns=pid,backend_start\r\n"))));
        QCOMPARE(ReadScriptOptions(file(), QStringLiteral("Сеансы")), (Columns({"pid", "backend_start"}, {})));
    }

    void rulesKeepTheirOrderAndTheirExpressionWhole()
    {
        folder.write(QStringLiteral("Config/Options.ini"),
                     ToCp1251(QStringLiteral("[BLOCKING]\r\nRule10=Долгий; hold=30 ;color=#ffe0a0 ; When = [state] = 'a;b'\r\n"
                                             "Rule2=Блокировка;hold=5;bold;icon=7;notify;cooldown=60;unknown=1;"
                                             "WHEN=[blocked_by] > 0 AND [wait_ms] > 100\r\n"
                                             "Rule3=;when=\r\nRule=x\r\nRule4=Без условия;hold=x;icon=-5\r\n"
                                             "BlockedByColumn= blocked_by \r\nWaitColumn=wait_ms\r\n"
                                             "DangerousCommands=KILL, PGTERMINATE\r\nCheckScript=Scripts/check.sql\r\n")));
        const ScriptOptions options = ReadScriptOptions(file(), QStringLiteral("BLOCKING"));
        // By number, not by place in the file; a key that is no numbered rule is not one.
        QCOMPARE(options.rules.size(), 4);
        const RowRule& blocked = options.rules[0];
        QCOMPARE(blocked.name, QStringLiteral("Блокировка"));
        QCOMPARE(blocked.expression, QStringLiteral("[blocked_by] > 0 AND [wait_ms] > 100"));
        QCOMPARE(blocked.holdSeconds, 5);
        QVERIFY(blocked.bold && blocked.notify);
        QCOMPARE(blocked.icon, 7);
        QCOMPARE(blocked.coolDownSeconds, 60);
        QVERIFY(options.rules[1].expression.isEmpty());
        // Numbers typed wrong leave the defaults.
        QCOMPARE(options.rules[2].holdSeconds, 0);
        QCOMPARE(options.rules[2].icon, -1);
        QVERIFY(options.rules[2].expression.isEmpty());
        QCOMPARE(options.rules[3].expression, QStringLiteral("[state] = 'a;b'"));
        QCOMPARE(options.rules[3].holdSeconds, 30);
        QCOMPARE(options.rules[3].background, QStringLiteral("#ffe0a0"));
        QCOMPARE(options.blockedByColumn, QStringLiteral("blocked_by"));
        QCOMPARE(options.waitColumn, QStringLiteral("wait_ms"));
        QCOMPARE(options.dangerousCommands, (QStringList{"KILL", "PGTERMINATE"}));
        QCOMPARE(options.checkScript, QStringLiteral("Scripts/check.sql"));

        // Written back renumbered from 1, the leftover numbers gone, and read back the same.
        ScriptOptions shorter = options;
        shorter.rules.removeAt(1);
        WriteScriptOptions(file(), QStringLiteral("BLOCKING"), shorter);
        const QString text = FromCp1251(folder.read(QStringLiteral("Config/Options.ini")));
        QVERIFY(!text.contains(QStringLiteral("Rule10=")));
        QVERIFY(text.contains(QStringLiteral("Rule=x")));
        QVERIFY(text.contains(QStringLiteral("Rule1=Блокировка;hold=5;bold;icon=7;notify;cooldown=60;when=[blocked_by] > 0 AND [wait_ms] > 100")));
        QCOMPARE(ReadScriptOptions(file(), QStringLiteral("BLOCKING")), shorter);
    }
};

QTEST_GUILESS_MAIN(TestOptionsFile)
#include "tst_options_file.moc"
