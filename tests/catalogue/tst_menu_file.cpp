#include "FileBytes.h"

#include "catalogue/MenuFile.h"
#include "platform/FileSystem.h"
#include "platform/QuillonError.h"
#include "platform/TextCodec.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

// The menu file: how a section's values are ordered, split and converted, and what writing and
// removing leave in the file.
class TestMenuFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path() const { return dir_.filePath(QStringLiteral("Menus.ini")); }

    // The file's text as the program stores it: Windows-1251, lines ending in CR LF.
    void put(const QString& text) { PutBytes(path(), ToCp1251(text)); }
    QString contents() const { return FromCp1251(GetBytes(path())); }

    static QStringList names(const SubScriptList& items)
    {
        QStringList result;
        for (const auto& item : items)
            result << item->Name;
        return result;
    }

    static std::unique_ptr<TSubScript> item(const QString& name, const QString& id, const QString& file,
                                            const QString& field, int flag)
    {
        auto result = std::make_unique<TSubScript>();
        result->Name = name;
        result->Id = id;
        result->ScriptFile = file;
        result->IdField = field;
        result->ShowResult = flag;
        return result;
    }

private Q_SLOTS:
    void init() { QFile::remove(path()); }

    void noFileOrSectionIsNoMenu()
    {
        QVERIFY(MenuFile(path(), QStringLiteral(";")).Read(QStringLiteral("WHO")).empty());
        put(QStringLiteral("[OTHER]\r\n0=A;a;a.sql;spid;1\r\n[WHO]\r\n"));
        QVERIFY(MenuFile(path(), QStringLiteral(";")).Read(QStringLiteral("WHO")).empty());
        QVERIFY(MenuFile(path(), QStringLiteral(";")).Read(QStringLiteral("NONE")).empty());
    }

    void itemsSortedByWholeValueWithoutCase()
    {
        put(QStringLiteral("[WHO]\r\n0=b;1;b.sql;spid;0\r\n1=A;2;a.sql;spid;1\r\n2=c;3;c.sql;;0\r\n"
                           "3=a;0;z.sql;;0\r\n"));
        const SubScriptList items = MenuFile(path(), QStringLiteral(";")).Read(QStringLiteral("WHO"));
        // "a;0..." sorts before "A;2...": the whole value decides, not the name alone.
        QCOMPARE(names(items), (QStringList{"a", "A", "b", "c"}));
        const TSubScript& first = *items[1];
        QCOMPARE(first.Id, QStringLiteral("2"));
        QCOMPARE(first.ScriptFile, QStringLiteral("a.sql"));
        QCOMPARE(first.IdField, QStringLiteral("spid"));
        QCOMPARE(first.ShowResult, 1);
        QCOMPARE(items[3]->IdField, QString());
    }

    void fieldsTrimmedAndFlagConvertedWhole()
    {
        put(QStringLiteral("[WHO]\r\n0=\t Завершить сеанс ; kill ;  Scripts\\kill.sql ; spid ;257\r\n"));
        const SubScriptList items = MenuFile(path(), QStringLiteral(";")).Read(QStringLiteral("who"));
        QCOMPARE(items.size(), std::size_t(1));
        QCOMPARE(items[0]->Name, QStringLiteral("Завершить сеанс"));
        QCOMPARE(items[0]->Id, QStringLiteral("kill"));
        QCOMPARE(items[0]->ScriptFile, QStringLiteral("Scripts\\kill.sql"));
        QCOMPARE(items[0]->IdField, QStringLiteral("spid"));
        QCOMPARE(items[0]->ShowResult, 257);
    }

    void absentKeyGivesStandInItem()
    {
        // Two keys: "0" and "1" are read, "1" is absent and "2" is never read.
        put(QStringLiteral("[WHO]\r\n0=Z;z;z.sql;spid;1\r\n2=A;a;a.sql;spid;1\r\n"));
        const SubScriptList items = MenuFile(path(), QStringLiteral(";")).Read(QStringLiteral("WHO"));
        QCOMPARE(names(items), (QStringList{"Error 1", "Z"}));
        QCOMPARE(items[0]->Id, QStringLiteral("Пустой описатель"));
        QCOMPARE(items[0]->ScriptFile, QString());
        QCOMPARE(items[0]->IdField, QString());
        QCOMPARE(items[0]->ShowResult, 0);
    }

    void identifiersDifferingInCaseShareSection()
    {
        put(QStringLiteral("[ABC]\r\n0=One;1;one.sql;;0\r\n"));
        QCOMPARE(names(MenuFile(path(), QStringLiteral(";")).Read(QStringLiteral("abc"))), QStringList{"One"});
        MenuFile(path(), QStringLiteral(";")).Write(QStringLiteral("abc"), [] {
            SubScriptList list;
            list.push_back(item(QStringLiteral("Two"), QStringLiteral("2"), QStringLiteral("two.sql"), {}, 0));
            return list;
        }());
        QCOMPARE(contents(), QStringLiteral("[ABC]\r\n0=Two;2;two.sql;;0\r\n"));
    }

    void valuesThatDoNotReadGiveStandIns_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("delimiter");
        // A name holding the delimiter shifts every field: field 5 gets the rest.
        QTest::newRow("a;b name") << QStringLiteral("a;b;id;f.sql;spid;1") << QStringLiteral(";");
        QTest::newRow("empty value") << QString() << QStringLiteral(";");
        QTest::newRow("fewer fields") << QStringLiteral("A;a;a.sql") << QStringLiteral(";");
        QTest::newRow("empty flag") << QStringLiteral("A;a;a.sql;spid;") << QStringLiteral(";");
        QTest::newRow("word flag") << QStringLiteral("A;a;a.sql;spid;yes") << QStringLiteral(";");
        // Cut at 2047 characters the value loses its last delimiter.
        QTest::newRow("longer than a reading takes")
            << QStringLiteral("A;a;a.sql;") + QString(2047, QLatin1Char('x')) + QStringLiteral(";1") << QStringLiteral(";");
        QTest::newRow("delimiter changed since") << QStringLiteral("A|B;a;a.sql;spid;1") << QStringLiteral("|");
    }
    void valuesThatDoNotReadGiveStandIns()
    {
        QFETCH(QString, value);
        QFETCH(QString, delimiter);
        QString good = QStringLiteral("Z;z;z.sql;spid;1");
        good.replace(QLatin1Char(';'), delimiter);
        put(QStringLiteral("[WHO]\r\n0=") + good + QStringLiteral("\r\n1=") + value + QStringLiteral("\r\n"));
        const SubScriptList items = MenuFile(path(), delimiter).Read(QStringLiteral("WHO"));
        // The bad key reads as an absent one would; the other item reads as it is.
        QCOMPARE(names(items), (QStringList{"Error 1", "Z"}));
        QCOMPARE(items[0]->Id, QStringLiteral("Пустой описатель"));
        QCOMPARE(items[0]->ScriptFile, QString());
        QCOMPARE(items[0]->ShowResult, 0);
        QCOMPARE(items[1]->ScriptFile, QStringLiteral("z.sql"));
        QCOMPARE(items[1]->ShowResult, 1);
    }

    void storedLengthIsWhatAReadingTakes()
    {
        SubScriptList list;
        const QString field(2047 - 12, QLatin1Char('x'));
        list.push_back(item(QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("a.sql"), field, 1));
        // A character the code page cannot hold is stored as one "?", however many it counts here.
        list.push_back(item(QStringLiteral("\U0001F600"), QStringLiteral("b"), QStringLiteral("b.sql"), field, 1));
        MenuFile menus(path(), QStringLiteral(";"));
        QCOMPARE(menus.StoredLength(*list[0]), MenuFile::MaxValueLength);
        QCOMPARE(menus.StoredLength(*list[1]), MenuFile::MaxValueLength);
        menus.Write(QStringLiteral("WHO"), list);
        QStringList read = names(menus.Read(QStringLiteral("WHO")));
        read.sort();
        QCOMPARE(read, (QStringList{"?", "A"}));
        list[0]->IdField += QLatin1Char('x');
        QCOMPARE(menus.StoredLength(*list[0]), MenuFile::MaxValueLength + 1);
        menus.Write(QStringLiteral("WHO"), list);
        read = names(menus.Read(QStringLiteral("WHO")));
        read.sort();
        QCOMPARE(read, (QStringList{"?", "Error 0"}));
    }

    void keyLimit()
    {
        QString text = QStringLiteral("[WHO]\r\n");
        for (int k = 0; k < 130; ++k)
            text += QStringLiteral("%1=Item %2;%1;f.sql;;0\r\n").arg(k).arg(k, 3, 10, QLatin1Char('0'));
        put(text);
        const MenuFile menus(path(), QStringLiteral(";"));
        const SubScriptList limited = menus.Read(QStringLiteral("WHO"), 128);
        QCOMPARE(limited.size(), std::size_t(128));
        QCOMPARE(limited.back()->Name, QStringLiteral("Item 127"));
        QCOMPARE(menus.Read(QStringLiteral("WHO")).size(), std::size_t(130));
    }

    void writeLeavesHigherKeysAndOtherLines()
    {
        const QString before = QStringLiteral("; menus\r\n[OTHER]\r\n0=x;x;x.sql;;0\r\n[WHO]\r\n0=old0\r\n1=old1\r\n"
                                              "2=old2\r\n3=old3\r\n[LAST]\r\nk=v\r\n");
        put(before);
        SubScriptList list;
        list.push_back(item(QStringLiteral("Текст запроса"), QStringLiteral("text"), QStringLiteral("t.sql"), QStringLiteral("spid"), 1));
        list.push_back(item(QStringLiteral("kill"), QStringLiteral("k"), QStringLiteral("k.sql"), QStringLiteral("spid"), 0));
        MenuFile menus(path(), QStringLiteral(";"));
        menus.Write(QStringLiteral("WHO"), list);
        QCOMPARE(contents(), QStringLiteral("; menus\r\n[OTHER]\r\n0=x;x;x.sql;;0\r\n[WHO]\r\n0=Текст запроса;text;t.sql;spid;1\r\n"
                                            "1=kill;k;k.sql;spid;0\r\n2=old2\r\n3=old3\r\n[LAST]\r\nk=v\r\n"));
        // A list shortened from three items: the key it no longer fills goes, key 3 stays.
        list.pop_back();
        menus.Write(QStringLiteral("WHO"), list, 3);
        QCOMPARE(contents(), QStringLiteral("; menus\r\n[OTHER]\r\n0=x;x;x.sql;;0\r\n[WHO]\r\n0=Текст запроса;text;t.sql;spid;1\r\n"
                                            "3=old3\r\n[LAST]\r\nk=v\r\n"));
    }

    void writeReplacesTheFileWholeOrNotAtAll()
    {
        const QString before = QStringLiteral("[WHO]\r\n0=old0\r\n1=old1\r\n2=old2\r\n");
        put(before);
        SubScriptList list;
        list.push_back(item(QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("a.sql"), {}, 0));
        // A line break cannot be stored in a value.
        list.push_back(item(QStringLiteral("B\nC"), QStringLiteral("b"), QStringLiteral("b.sql"), {}, 0));
        QVERIFY_THROWS_EXCEPTION(FileError, MenuFile(path(), QStringLiteral(";")).Write(QStringLiteral("WHO"), list));
        QCOMPARE(contents(), before);
    }

    void readingTakesOneVersionOfTheFile()
    {
        // Another program replaces the file over and over while this one reads it.
        QByteArray versions[2];
        for (int v = 0; v < 2; ++v) {
            versions[v] = "[WHO]\r\n";
            for (int k = 0; k < 200; ++k)
                versions[v] += QByteArray::number(k) + "=Command " + QByteArray::number(k) + ";v" + QByteArray::number(v) + ";c.sql;;0\r\n";
        }
        put(QString::fromLatin1(versions[0]));
        std::atomic<bool> stop{false};
        std::atomic<int> replaced{0};
        std::thread writer([&] {
            for (int i = 1; !stop; ++i) {
                if (WriteFileAtomically(path(), versions[i % 2]))
                    ++replaced;
            }
        });
        int readings = 0;
        int mixed = 0;
        for (; readings < 30 || replaced < 10; ++readings) {
            const SubScriptList items = MenuFile(path(), QStringLiteral(";")).Read(QStringLiteral("WHO"));
            if (items.size() != 200 || std::any_of(items.begin(), items.end(), [&items](const auto& entry) {
                    return entry->Id != items.front()->Id;
                }))
                ++mixed;
        }
        stop = true;
        writer.join();
        QCOMPARE(mixed, 0);
    }

    void readWriteRoundTripsByteForByte()
    {
        const QString stored = QStringLiteral("[WHO]\r\n0=A;a;a.sql;spid;1\r\n1=b;b;Scripts\\b.sql;;0\r\n"
                                              "2=Ц;ц;ц.sql;ц;1\r\n");
        put(stored);
        MenuFile menus(path(), QStringLiteral(";"));
        menus.Write(QStringLiteral("WHO"), menus.Read(QStringLiteral("WHO")));
        QCOMPARE(contents(), stored);
    }

    void addWriteThenRemoveLeavesNoMenu()
    {
        MenuFile menus(path(), QStringLiteral(";"));
        SubScriptList list;
        list.push_back(item(QStringLiteral("B"), QStringLiteral("b"), QStringLiteral("b.sql"), QStringLiteral("spid"), 0));
        list.push_back(item(QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("a.sql"), QStringLiteral("spid"), 1));
        menus.Write(QStringLiteral("WHO"), list);
        // Written in list order, read back sorted.
        QCOMPARE(names(menus.Read(QStringLiteral("WHO"))), (QStringList{"A", "B"}));
        menus.Write(QStringLiteral("WHO"), SubScriptList(), 2);
        QVERIFY(menus.Read(QStringLiteral("WHO")).empty());
        QCOMPARE(contents(), QStringLiteral("[WHO]\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestMenuFile)
#include "tst_menu_file.moc"
