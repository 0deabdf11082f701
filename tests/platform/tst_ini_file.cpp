#include "FileBytes.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/QuillonError.h"
#include "SmallDisk.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

namespace {
QString S(const char* text)
{
    return QString::fromUtf8(text);
}
} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path() const { return dir_.filePath(QStringLiteral("test.ini")); }

    // A file holding one key, to read its value back in every form.
    IniFile WithValue(const QByteArray& value)
    {
        PutBytes(Path(), "[S]\r\nk=" + value + "\r\n");
        return IniFile(Path());
    }

private Q_SLOTS:
    void init() { QFile::remove(Path()); }

    void readsOddlyFormattedFile_data()
    {
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::addColumn<QByteArray>("finalEnd");
        QTest::newRow("CR LF") << QByteArray("\r\n") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r") << QByteArray("\r");
        QTest::newRow("no final break") << QByteArray("\r\n") << QByteArray();
    }
    void readsOddlyFormattedFile()
    {
        QFETCH(QByteArray, lineEnd);
        QFETCH(QByteArray, finalEnd);
        const QList<QByteArray> lines{
            "; Name=comment",     "orphan=before any section", "  [ Main ]  ",
            "  Name   =   value with blanks  ", "Quoted = \"  in quotes  \"", "Single='x'",
            "Mixed=\"x'",         "Empty =",                   "a malformed line",
            "\t",                 "[\xCF\xF0\xE8\xEC\xE5\xF0]", "\xCA\xEB\xFE\xF7=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5",
            "[main]",             "Name=second",               "Hidden=1"};
        PutBytes(Path(), lines.join(lineEnd) + finalEnd);
        const IniFile ini(Path());

        QCOMPARE(ini.ReadString(S("MAIN"), S("name"), S("def")), S("value with blanks"));
        QCOMPARE(ini.ReadString(S("Main"), S("Quoted"), S("def")), S("  in quotes  "));
        QCOMPARE(ini.ReadString(S("Main"), S("Single"), S("def")), S("x"));
        QCOMPARE(ini.ReadString(S("Main"), S("Mixed"), S("def")), S("\"x'"));
        QCOMPARE(ini.ReadString(S("Main"), S("Empty"), S("def")), QString());
        QCOMPARE(ini.ReadString(S("Main"), S("Hidden"), S("def")), S("def"));
        QCOMPARE(ini.ReadString(S("ПРИМЕР"), S("ключ"), S("def")), S("Значение"));
        QCOMPARE(ini.ReadSection(S("main")),
                 (QStringList{S("Name"), S("Quoted"), S("Single"), S("Mixed"), S("Empty")}));
        QVERIFY(ini.ValueExists(S("Main"), S("EMPTY")));
        QVERIFY(!ini.ValueExists(S("Main"), S("a malformed line")));
        QVERIFY(!ini.ValueExists(S("Main"), S("; Name")));
        QVERIFY(ini.SectionExists(S("пример")));
        QCOMPARE(ini.ReadSections(), (QStringList{S("Main"), S("Пример")}));
        QCOMPARE(ini.ReadString(QString(), S("orphan"), S("def")), S("def"));
        QVERIFY(ini.ReadSection(S("Absent")).isEmpty());
    }

    // Each key once, in file order, spelled as it first occurs; repeats in another case are dropped.
    void readsLargeSectionsWhole()
    {
        QByteArray data = "[Big]\r\n\xCA\xEB\xFE\xF7=1\r\n";
        QStringList expected{S("Ключ")};
        for (int i = 0; i < 40000; ++i) {
            data += "Key" + QByteArray::number(i) + "=v\r\n";
            expected.append(QStringLiteral("Key%1").arg(i));
            if (i % 1000 == 999)
                data += "KEY" + QByteArray::number(i / 2) + "=repeat\r\n\xCA\xCB\xDE\xD7=repeat\r\n";
        }
        PutBytes(Path(), data + "[Next]\r\nOther=1\r\n");
        QCOMPARE(IniFile(Path()).ReadSection(S("BIG")), expected);
    }

    void missingFileReadsAsDefaults()
    {
        const IniFile ini(Path());
        QCOMPARE(ini.ReadString(S("Main"), S("Name"), S("def")), S("def"));
        QCOMPARE(ini.ReadInteger(S("Main"), S("Name"), 7), 7);
        QVERIFY(!ini.SectionExists(S("Main")));
        QVERIFY(!QFile::exists(Path()));
    }

    void longValuesAndHighBytes()
    {
        const QByteArray longValue(5000, 'v');
        const QByteArray text = "[A]\r\nlong=" + longValue + "\r\nodd=a\x98\xE1\r\n";
        PutBytes(Path(), text);
        IniFile ini(Path());

        QCOMPARE(ini.ReadString(S("A"), S("long"), {}), QString(2047, QLatin1Char('v')));
        QCOMPARE(ini.ReadString(S("A"), S("odd"), {}), S("a\uFFFDб"));

        ini.WriteString(S("A"), S("new"), S("Привет"));
        QCOMPARE(GetBytes(Path()), text + "new=\xCF\xF0\xE8\xE2\xE5\xF2\r\n");
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("200") << 200;
        QTest::newRow("negative") << QByteArray("-5") << -5;
        QTest::newRow("plus") << QByteArray("+5") << 5;
        QTest::newRow("0x") << QByteArray("0x1F4") << 500;
        QTest::newRow("0X") << QByteArray("0X1f4") << 500;
        QTest::newRow("dollar") << QByteArray("$1F4") << 500;
        QTest::newRow("all bits") << QByteArray("$FFFFFFFF") << -1;
        QTest::newRow("blanks around") << QByteArray("  42  ") << 42;
        QTest::newRow("letters") << QByteArray("abc") << -99;
        QTest::newRow("trailing letters") << QByteArray("12abc") << -99;
        QTest::newRow("empty") << QByteArray("") << -99;
        QTest::newRow("blanks only") << QByteArray("   ") << -99;
        QTest::newRow("prefix only") << QByteArray("0x") << -99;
        QTest::newRow("signed hex") << QByteArray("-$10") << -99;
        QTest::newRow("too large") << QByteArray("2147483648") << -99;
        QTest::newRow("hex too large") << QByteArray("0x100000000") << -99;
    }
    void integers()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        QCOMPARE(WithValue(value).ReadInteger(S("S"), S("k"), -99), expected);
    }

    void booleans()
    {
        QCOMPARE(WithValue("1").ReadBool(S("S"), S("k"), false), true);
        QCOMPARE(WithValue("0").ReadBool(S("S"), S("k"), true), false);
        QCOMPARE(WithValue("-1").ReadBool(S("S"), S("k"), false), true);
        QCOMPARE(WithValue("0x1").ReadBool(S("S"), S("k"), false), true);
        QCOMPARE(WithValue("abc").ReadBool(S("S"), S("k"), true), true);
        QCOMPARE(WithValue("abc").ReadBool(S("S"), S("k"), false), false);
        QCOMPARE(WithValue("").ReadBool(S("S"), S("k"), true), true);
        QCOMPARE(WithValue("1").ReadBool(S("S"), S("absent"), false), false);

        IniFile ini(Path());
        ini.WriteBool(S("S"), S("k"), false);
        ini.WriteBool(S("S"), S("t"), true);
        ini.WriteInteger(S("S"), S("i"), -12);
        QCOMPARE(GetBytes(Path()), QByteArray("[S]\r\nk=0\r\nt=1\r\ni=-12\r\n"));
    }

    void writesCreateFileSectionsAndKeysInOrder()
    {
        IniFile ini(Path());
        ini.WriteString(S("Main"), S("ServerList"), S("a"));
        ini.WriteInteger(S("Main"), S("SLEEP_INTERVAL"), 200);
        ini.WriteString(S("Window"), S("Left"), S("3"));
        ini.WriteString(S("MAIN"), S("MenuFile"), S("日"));
        ini.WriteString(S("main"), S("serverlist"), S("b"));
        QCOMPARE(GetBytes(Path()), QByteArray("[Main]\r\nServerList=b\r\nSLEEP_INTERVAL=200\r\n"
                                              "MenuFile=?\r\n[Window]\r\nLeft=3\r\n"));
    }

    void writesKeepUntouchedLinesByteForByte()
    {
        const QByteArray before = "; settings\n"
                                  "[A]\r"
                                  "  x = 1  \r\n"
                                  "junk \x98\xFF\n"
                                  "x=duplicate\r\n"
                                  "\r\n"
                                  "; about B\r\n"
                                  "[\xD0\xE0\xE7\xE4\xE5\xEB]\n"
                                  "\xCA\xEB\xFE\xF7=\xFF\n"
                                  "[Empty]\n"
                                  "[a]\n"
                                  "x=second section";
        PutBytes(Path(), before);
        IniFile ini(Path());

        ini.WriteString(S("a"), S("X"), S("2"));
        ini.WriteString(S("A"), S("y"), S("3"));
        ini.WriteString(S("РАЗДЕЛ"), S("ключ"), S("4"));
        ini.WriteString(S("empty"), S("z"), S("5"));
        ini.WriteString(S("New"), S("w"), S("6"));
        QCOMPARE(GetBytes(Path()), QByteArray("; settings\n"
                                              "[A]\r"
                                              "x=2\r\n"
                                              "junk \x98\xFF\n"
                                              "x=duplicate\r\n"
                                              "y=3\r\n"
                                              "\r\n"
                                              "; about B\r\n"
                                              "[\xD0\xE0\xE7\xE4\xE5\xEB]\n"
                                              "\xCA\xEB\xFE\xF7=4\r\n"
                                              "[Empty]\n"
                                              "z=5\r\n"
                                              "[a]\n"
                                              "x=second section\r\n"
                                              "[New]\r\n"
                                              "w=6\r\n"));
    }

    void sectionReadInOnePass()
    {
        PutBytes(Path(), "[A]\r\n x = 1 \r\n0='quoted'\r\nlong=" + QByteArray(3000, 'v') + "\r\nX=duplicate\r\n"
                         "[B]\r\nb=\xE1\r\n[a]\r\ny=second section\r\n");
        const IniFile ini(Path());
        const QList<IniValue> values = ini.ReadSectionValues(S("a"));
        QCOMPARE(values.size(), 3);
        QCOMPARE(values[0].key, S("x"));
        QCOMPARE(values[0].value, S("1"));
        QCOMPARE(values[1].value, S("quoted"));
        QCOMPARE(values[2].value, QString(2047, QLatin1Char('v')));
        QVERIFY(ini.ReadSectionValues(S("none")).isEmpty());
        QStringList all;
        for (const IniValue& value : ini.ReadAllValues())
            all << value.key + QLatin1Char('=') + value.value.left(3);
        QCOMPARE(all, (QStringList{"x=1", "0=quo", "long=vvv", "b=б"}));
    }

    void sectionWrittenInOneReplacement()
    {
        PutBytes(Path(), "; menus\r\n[A]\r\nx=1\r\n0=old0\r\njunk\r\n1=old1\r\n2=old2\r\n[B]\r\n0=b");
        IniFile ini(Path());
        // New keys go after the section's last key; a key given twice takes the last value.
        ini.WriteSection(S("a"), {{S("0"), S("new0")}, {S("3"), S("three")}, {S("X"), S("2")}, {S("3"), S("Три")}},
                         {S("1"), S("absent")});
        QCOMPARE(GetBytes(Path()), QByteArray("; menus\r\n[A]\r\nx=2\r\n0=new0\r\njunk\r\n2=old2\r\n3=\xD2\xF0\xE8\r\n[B]\r\n0=b"));
        ini.WriteSection(S("C"), {{S("k"), S("v")}}, {});
        QVERIFY(GetBytes(Path()).endsWith("3=\xD2\xF0\xE8\r\n[B]\r\n0=b\r\n[C]\r\nk=v\r\n"));

        // Nothing to write or remove: the file is not touched, nor created.
        const QByteArray before = GetBytes(Path());
        ini.WriteSection(S("A"), {}, {S("absent")});
        ini.WriteSection(S("None"), {}, {});
        QCOMPARE(GetBytes(Path()), before);
        IniFile missing(dir_.filePath(QStringLiteral("missing.ini")));
        missing.WriteSection(S("A"), {}, {S("0")});
        QVERIFY(!QFile::exists(missing.FileName()));

        // One value the file cannot hold, or a failed replacement, and none of the changes is made.
        QVERIFY_THROWS_EXCEPTION(FileError, ini.WriteSection(S("A"), {{S("0"), S("fine")}, {S("1"), S("a\r\nb")}}, {S("2")}));
        platform_testing::FailNextRename();
        QVERIFY_THROWS_EXCEPTION(FileError, ini.WriteSection(S("A"), {{S("0"), S("fine")}}, {S("2")}));
        QCOMPARE(GetBytes(Path()), before);
    }

    void deleteKey()
    {
        PutBytes(Path(), "[A]\nx=1\ny=2\nX=3\n[B]\nx=4\n");
        IniFile ini(Path());
        ini.DeleteKey(S("a"), S("x"));
        QCOMPARE(GetBytes(Path()), QByteArray("[A]\ny=2\n[B]\nx=4\n"));
        QVERIFY(!ini.ValueExists(S("A"), S("x")));

        ini.DeleteKey(S("A"), S("absent"));
        ini.DeleteKey(S("Absent"), S("y"));
        QCOMPARE(GetBytes(Path()), QByteArray("[A]\ny=2\n[B]\nx=4\n"));

        IniFile missing(dir_.filePath(QStringLiteral("missing.ini")));
        missing.DeleteKey(S("A"), S("x"));
        QVERIFY(!QFile::exists(missing.FileName()));
    }

    void failedWritesRaiseAndKeepTheFile()
    {
        PutBytes(Path(), "[A]\r\nx=1\r\n");
        IniFile ini(Path());
        const QString message = QStringLiteral("Unable to write to ") + Path();

        platform_testing::FailNextRename();
        try {
            ini.WriteString(S("A"), S("x"), S("2"));
            QFAIL("a failed rename went unnoticed");
        } catch (const FileError& e) {
            QCOMPARE(e.message(), message);
        }
        QVERIFY_THROWS_EXCEPTION(FileError, ini.WriteString(S("A"), S("x=y"), S("2")));
        QVERIFY_THROWS_EXCEPTION(FileError, ini.WriteString(S("A"), S("x"), S("2\r\n[B]")));
        QVERIFY_THROWS_EXCEPTION(FileError, ini.WriteString(S("A"), S("  "), S("2")));
        QCOMPARE(GetBytes(Path()), QByteArray("[A]\r\nx=1\r\n"));
        QCOMPARE(FolderEntries(dir_.path()), QStringList{QStringLiteral("test.ini")});
    }

    // A write that runs out of space must neither empty nor cut the file, and must say so.
    void fullDiskKeepsTheFile_data()
    {
        QTest::addColumn<qint64>("free");
        QTest::newRow("no space left") << qint64(0);
        QTest::newRow("4 KiB left") << qint64(4096);
    }
    void fullDiskKeepsTheFile()
    {
        QFETCH(qint64, free);
        SmallDisk disk;
        if (!disk.mounted())
            QSKIP(disk.why().constData());
        QByteArray before;
        for (int server = 1; before.size() < 11600; ++server)
            before += "[Server " + QByteArray::number(server) + "]\r\nName=db" + QByteArray::number(server)
                      + ".example.org\r\nUser=monitor\r\nTimeout=30\r\nScripts=Scripts\\monitor.lst\r\n";
        const QString path = disk.file(QStringLiteral("Connections.ini"));
        PutBytes(path, before);
        QVERIFY(disk.fill(free));

        IniFile ini(path);
        try {
            ini.WriteString(S("Server 1"), S("Name"), S("changed"));
            QFAIL("a write onto a full disk reported success");
        } catch (const FileError& e) {
            QCOMPARE(e.message(), QStringLiteral("Unable to write to ") + path);
        }
        QCOMPARE(GetBytes(path), before);
        QCOMPARE(FolderEntries(disk.path()), (QStringList{QStringLiteral("Connections.ini"), SmallDisk::fillerName()}));

        disk.empty();
        ini.WriteString(S("Server 1"), S("Name"), S("changed"));
        QCOMPARE(GetBytes(path), QByteArray(before).replace("Name=db1.example.org\r\n", "Name=changed\r\n"));
    }

    void writeIntoMissingFolderRaises()
    {
        const QString path = dir_.path() + QStringLiteral("\\Config\\Quillon.ini");
        IniFile ini(path);
        try {
            ini.WriteInteger(S("Main"), S("SLEEP_INTERVAL"), 200);
            QFAIL("wrote into a missing folder");
        } catch (const FileError& e) {
            QCOMPARE(e.message(), QStringLiteral("Unable to write to ")
                                      + QDir::toNativeSeparators(dir_.path() + QStringLiteral("/Config/Quillon.ini")));
        }
    }

    void unreadableFileIsNotReplaced()
    {
        QDir(dir_.path()).mkdir(QStringLiteral("folder.ini"));
        IniFile ini(dir_.filePath(QStringLiteral("folder.ini")));
        QCOMPARE(ini.ReadString(S("A"), S("x"), S("def")), S("def"));
        QVERIFY_THROWS_EXCEPTION(FileError, ini.WriteString(S("A"), S("x"), S("1")));
        QVERIFY(QFileInfo(ini.FileName()).isDir());
    }

    void danglingLinkIsNotReplaced()
    {
#ifdef Q_OS_WIN
        QSKIP("links made by QFile::link are shortcut files on Windows");
#else
        const QString target = dir_.filePath(QStringLiteral("target.ini"));
        QVERIFY(QFile::link(target, Path()));
        IniFile ini(Path());
        QCOMPARE(ini.ReadString(S("A"), S("x"), S("def")), S("def"));
        QVERIFY_THROWS_EXCEPTION(FileError, ini.WriteString(S("A"), S("x"), S("1")));
        QVERIFY(!QFileInfo::exists(target));
#endif
    }

    void fileReplacedMeanwhileIsNeverTakenForMissing()
    {
        // Another program replaces the file over and over while this one reads it and adds its
        // key: a reading that took the file for missing would give defaults, and a write that did
        // would leave the other program's keys out.
        PutBytes(Path(), "[S]\r\nother=1\r\n");
        std::atomic<bool> stop{false};
        std::atomic<int> replaced{0};
        std::thread other([&] {
            while (!stop) {
                if (WriteFileAtomically(Path(), "[S]\r\nother=1\r\n"))
                    ++replaced;
            }
        });
        int missed = 0;
        int lost = 0;
        for (int i = 0; i < 200; ++i) {
            for (int r = 0; r < 200; ++r) {
                if (IniFile(Path()).ReadString(S("S"), S("other"), S("missing")) != S("1"))
                    ++missed;
            }
            IniFile(Path()).WriteString(S("S"), S("mine"), QString::number(i));
            if (!GetBytes(Path()).contains("other=1"))
                ++lost;
        }
        stop = true;
        other.join();
        QVERIFY(replaced > 0);
        QCOMPARE(missed, 0);
        QCOMPARE(lost, 0);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"
