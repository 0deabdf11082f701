#include "FileBytes.h"
#include "platform/FileSystem.h"
#include "platform/LineFile.h"
#include "platform/QuillonError.h"
#include "SmallDisk.h"
#include "platform/TextCodec.h"

#include <QTemporaryDir>
#include <QTest>

class TestLineFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path() const { return dir_.filePath(QStringLiteral("list.lst")); }

private Q_SLOTS:
    void readsEveryLineBreakForm_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("lines");
        const QStringList ab{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << ab;
        QTest::newRow("LF") << QByteArray("a\nb\n") << ab;
        QTest::newRow("CR") << QByteArray("a\rb\r") << ab;
        QTest::newRow("no final break") << QByteArray("a\r\nb") << ab;
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("one break") << QByteArray("\r\n") << QStringList{QString()};
        QTest::newRow("empty line inside") << QByteArray("a\r\n\r\nb\r\n")
                                           << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
        QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb")
                                             << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
        QTest::newRow("blanks kept") << QByteArray(" a \tb\n")
                                     << QStringList{QStringLiteral(" a \tb")};
    }
    void readsEveryLineBreakForm()
    {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, lines);
        PutBytes(Path(), data);
        QCOMPARE(ReadLines(Path()), lines);
    }

    void russianTextRoundTripsAsCp1251()
    {
        const QStringList lines{QStringLiteral("Привет, мир"), QString(), QStringLiteral("Ёлка №5")};
        WriteLines(Path(), lines);
        QCOMPARE(GetBytes(Path()),
                 QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0\r\n\r\n\xA8\xEB\xEA\xE0 \xB9" "5\r\n"));
        QCOMPARE(ReadLines(Path()), lines);

        WriteLines(Path(), {});
        QCOMPARE(GetBytes(Path()), QByteArray());
    }

    void unrepresentableCharactersBecomeOneQuestionMarkEach()
    {
        WriteLines(Path(), {QStringLiteral("日本 \U0001F600 x é")});
        QCOMPARE(GetBytes(Path()), QByteArray("?? ? x ?\r\n"));
        QCOMPARE(ToCp1251(QString(QChar(0xD800)) + QStringLiteral("z")), QByteArray("?z"));
        // Tag characters, which the C library's converter drops without a word.
        QCOMPARE(ToCp1251(QStringLiteral("a\U000E0001b\U000E007Fc\U000E0080d")), QByteArray("a?b?c?d"));
    }

    void undefinedByteDoesNotLoseTheRest()
    {
        PutBytes(Path(), "a\x98\xE1\r\nc");
        QCOMPARE(ReadLines(Path()), (QStringList{QStringLiteral("a\uFFFDб"), QStringLiteral("c")}));
    }

    void failuresNameThePathWithOneSeparator()
    {
        // A configured path mixes separators; the message shows the platform's own throughout.
        const QString missing = dir_.path() + QStringLiteral("\\absent.lst");
        try {
            ReadLines(missing);
            QFAIL("reading a missing file succeeded");
        } catch (const FileError& e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot open file ") + QDir::toNativeSeparators(dir_.path() + QStringLiteral("/absent.lst")));
        }

        const QString inMissingFolder = dir_.path() + QStringLiteral("\\absent\\list.lst");
        try {
            WriteLines(inMissingFolder, {QStringLiteral("a")});
            QFAIL("writing into a missing folder succeeded");
        } catch (const FileError& e) {
            QCOMPARE(e.message(),
                     QStringLiteral("Cannot create file ") + QDir::toNativeSeparators(dir_.path() + QStringLiteral("/absent/list.lst")));
        }
    }

    void failedWriteKeepsOldFile()
    {
        PutBytes(Path(), "old\r\n");
        platform_testing::FailNextRename();
        QVERIFY_THROWS_EXCEPTION(FileError, WriteLines(Path(), {QStringLiteral("new")}));
        QCOMPARE(GetBytes(Path()), QByteArray("old\r\n"));
        QCOMPARE(FolderEntries(dir_.path()), QStringList{QStringLiteral("list.lst")});
    }

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
        QStringList servers;
        for (int i = 1; i <= 600; ++i)
            servers.append(QStringLiteral("db%1.example.org").arg(i));
        const QString path = disk.file(QStringLiteral("Servers.lst"));
        WriteLines(path, servers);
        const QByteArray before = GetBytes(path);
        QVERIFY(before.size() > 8192);
        QVERIFY(disk.fill(free));

        try {
            WriteLines(path, servers.mid(1));
            QFAIL("a write onto a full disk reported success");
        } catch (const FileError& e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot create file ") + path);
        }
        QCOMPARE(GetBytes(path), before);
        QCOMPARE(FolderEntries(disk.path()), (QStringList{SmallDisk::fillerName(), QStringLiteral("Servers.lst")}));

        disk.empty();
        WriteLines(path, servers.mid(1));
        QCOMPARE(ReadLines(path), servers.mid(1));
    }
};

QTEST_GUILESS_MAIN(TestLineFile)
#include "tst_line_file.moc"
