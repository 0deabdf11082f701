#include "platform/FileSystem.h"
#include "platform/FileBytes.h"

#include <QTemporaryDir>
#include <QTest>

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

    void missingFolderFails()
    {
        QTemporaryDir dir;
        QVERIFY(!WriteFileAtomically(dir.filePath(QStringLiteral("missing/a.txt")), "x"));
        QVERIFY(FolderEntries(dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_file_system.moc"
