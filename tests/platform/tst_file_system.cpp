#include "platform/FileSystem.h"
#include "FileBytes.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

class TestFileSystem : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bothSlashesSeparateFolders()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("Config"));
        PutBytes(dir.filePath(QStringLiteral("Config/Sensors.ini")), "x");

        QVERIFY(FileExists(dir.path() + QStringLiteral("\\Config\\Sensors.ini")));
        QVERIFY(FileExists(dir.path() + QStringLiteral("/Config/Sensors.ini")));
        QVERIFY(!FileExists(dir.path() + QStringLiteral("\\Config")));
        QVERIFY(!FileExists(dir.path() + QStringLiteral("\\Config\\Other.ini")));
        QVERIFY(!FileExists(QString()));
    }

    void sameFileFollowsLinksAndSpellings()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("Scripts"));
        const QString file = dir.filePath(QStringLiteral("Scripts/a.sql"));
        PutBytes(file, "x");
        QVERIFY(QFile::link(file, dir.filePath(QStringLiteral("link.sql"))));

        QVERIFY(SameFile(file, dir.path() + QStringLiteral("\\Scripts\\a.sql")));
        QVERIFY(SameFile(file, dir.filePath(QStringLiteral("Scripts/../Scripts//a.sql"))));
        QVERIFY(SameFile(file, dir.filePath(QStringLiteral("link.sql"))));
        QVERIFY(!SameFile(file, dir.filePath(QStringLiteral("Scripts/b.sql"))));
        // Files that do not exist are told apart by their paths.
        QVERIFY(SameFile(dir.filePath(QStringLiteral("x/../c.sql")), dir.filePath(QStringLiteral("c.sql"))));
        QVERIFY(!SameFile(dir.filePath(QStringLiteral("c.sql")), dir.filePath(QStringLiteral("d.sql"))));
    }

    void replacesWholeContent()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.txt"));
        PutBytes(path, "a much longer old content");

        QVERIFY(WriteFileAtomically(path, "new"));
        QCOMPARE(GetBytes(path), QByteArray("new"));
        QCOMPARE(FolderEntries(dir.path()), QStringList{QStringLiteral("a.txt")});
    }

    void failedRenameKeepsOldFileAndLeavesNoTemporary()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.txt"));
        PutBytes(path, "old");

        platform_testing::FailNextRename();
        QVERIFY(!WriteFileAtomically(path, "new"));
        QCOMPARE(GetBytes(path), QByteArray("old"));
        QCOMPARE(FolderEntries(dir.path()), QStringList{QStringLiteral("a.txt")});

        QVERIFY(WriteFileAtomically(path, "new"));
        QCOMPARE(GetBytes(path), QByteArray("new"));
    }

    // A process killed between writing its temporary copy and renaming it leaves "name.XXXXXX"
    // behind; the next write of that file clears it once it is old, and nothing else. A fresh one
    // may be another process's write in progress.
    void leftoverCopiesOfTheFileAreRemoved()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        PutBytes(path, "old");
        const QStringList others{QStringLiteral("a.ini.AbCxY"),  QStringLiteral("a.ini.AbCxYzW"), QStringLiteral("a.ini.Ab1xYz"),
                                 QStringLiteral("a.ini_AbCxYz"), QStringLiteral("b.ini.AbCxYz"),  QStringLiteral("xa.ini.AbCxYz"),
                                 QStringLiteral("a.ini.InUsEe")};
        const QDateTime old = QDateTime::currentDateTime().addSecs(-180);
        for (const QString& name : others + QStringList{QStringLiteral("a.ini.AbCxYz"), QStringLiteral("a.ini.qWeRtY")}) {
            PutBytes(dir.filePath(name), "new");
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (name != QStringLiteral("a.ini.InUsEe"))
                QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QDir(dir.path()).mkdir(QStringLiteral("a.ini.FoLdEr"));

        QVERIFY(WriteFileAtomically(dir.path() + QStringLiteral("\\a.ini"), "new"));
        QCOMPARE(GetBytes(path), QByteArray("new"));
        QStringList expected = others + QStringList{QStringLiteral("a.ini"), QStringLiteral("a.ini.FoLdEr")};
        expected.sort(Qt::CaseInsensitive);
        QCOMPARE(FolderEntries(dir.path()), expected);
    }

    // Two writers of one file at once (two programs on one folder): each write replaces the file
    // whole and none fails because the other cleared its copy.
    void concurrentWritersBothSucceed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillon.ini"));
        std::atomic<int> failed{0};
        const auto writer = [&](const QByteArray& data) {
            for (int i = 0; i < 300; ++i) {
                if (!WriteFileAtomically(path, data))
                    ++failed;
            }
        };
        std::thread first(writer, QByteArray(4096, 'a'));
        std::thread second(writer, QByteArray(4096, 'b'));
        first.join();
        second.join();
        QCOMPARE(failed.load(), 0);
        const QByteArray left = GetBytes(path);
        QVERIFY(left == QByteArray(4096, 'a') || left == QByteArray(4096, 'b'));
    }

    // Files that hold logins are made readable by their owner alone; a file that exists keeps the
    // permissions its owner gave it, and a failed first write leaves no empty file behind.
    void ownerOnlyFiles()
    {
        QTemporaryDir dir;
        const auto othersMayRead = QFileDevice::ReadGroup | QFileDevice::ReadOther;
        const QString created = dir.filePath(QStringLiteral("Connections.ini"));
        QVERIFY(WriteFileAtomically(created, "[a]\r\n", FileAccess::OwnerOnly));
        QCOMPARE(GetBytes(created), QByteArray("[a]\r\n"));
        QCOMPARE(QFile::permissions(created) & (othersMayRead | QFileDevice::ReadOwner), QFileDevice::ReadOwner);

        const QString existing = dir.filePath(QStringLiteral("Servers.lst"));
        PutBytes(existing, "old");
        QVERIFY(QFile::setPermissions(existing, QFile::permissions(existing) | othersMayRead));
        QVERIFY(WriteFileAtomically(existing, "new", FileAccess::OwnerOnly));
        QCOMPARE(GetBytes(existing), QByteArray("new"));
        QCOMPARE(QFile::permissions(existing) & othersMayRead, othersMayRead);

        platform_testing::FailNextRename();
        QVERIFY(!WriteFileAtomically(dir.filePath(QStringLiteral("failed.ini")), "x", FileAccess::OwnerOnly));
        QCOMPARE(FolderEntries(dir.path()), (QStringList{QStringLiteral("Connections.ini"), QStringLiteral("Servers.lst")}));
    }

    void missingFolderFails()
    {
        QTemporaryDir dir;
        QVERIFY(!WriteFileAtomically(dir.filePath(QStringLiteral("missing/a.txt")), "x"));
        QVERIFY(FolderEntries(dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_file_system.moc"
