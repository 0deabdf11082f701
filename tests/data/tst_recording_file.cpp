#include "FileBytes.h"
#include "ReadOnlyFolder.h"
#include "SmallDisk.h"

#include "data/DataErrors.h"
#include "data/history/RecordingFile.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <functional>
#include <optional>
#include <sqlite3.h>

namespace {

// Started with this switch, the test's own executable writes a recording and waits to be killed.
const char* const WriterSwitch = "--write-and-wait";

// Frame bytes are opaque to the file: made up, a 60 KB keyframe every 30th and a 3 KB delta between,
// neither of them compressible, as the codec hands them over.
HistoryFrame MadeUpFrame(int serial)
{
    HistoryFrame frame;
    frame.time = 1700000000000 + qint64(serial) * 1000;
    frame.keyframe = serial % 30 == 0;
    frame.rowCount = 300 + serial;
    frame.data.resize(frame.keyframe ? 60000 : 3000);
    quint32 x = quint32(serial) * 2654435761u + 1;
    for (char& c : frame.data) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    return frame;
}

bool SameFrame(const HistoryFrame& a, const HistoryFrame& b)
{
    return a.time == b.time && a.keyframe == b.keyframe && a.rowCount == b.rowCount && a.data == b.data;
}

RecordingHeader SampleHeader()
{
    RecordingHeader header;
    header.server = "SQL-01\\PROD";
    header.scriptName = "Процессы (sp_Who2)";
    header.scriptId = "WHO";
    header.scriptText = "exec sp_Who2\r\n-- «всё»\r\n";
    header.keyColumns = QStringList{"SPID", "Host, name"};
    header.cumulativeColumns = QStringList{"CPUTime", "DiskIO"};
    header.started = 1700000000123;
    return header;
}

void WriteRecording(const QString& path, int frames)
{
    RecordingWriter writer(path, SampleHeader());
    for (int i = 0; i < frames; ++i)
        writer.write(MadeUpFrame(i));
}

// Every frame of the recording checked against what was written, and their number; the error's text
// on failure.
QString ReadAll(const QString& path, int expected, const std::function<HistoryFrame(int)>& written = MadeUpFrame)
{
    try {
        RecordingReader reader(path);
        if (reader.header() != SampleHeader())
            return "another header";
        for (int i = 0; i < reader.frameCount(); ++i) {
            if (!SameFrame(reader.frame(i), written(i)))
                return QString("frame %1 differs").arg(i);
        }
        return reader.frameCount() == expected ? QString() : QString("%1 frames").arg(reader.frameCount());
    } catch (const RecordingError& error) {
        return error.message();
    }
}

void ExecSql(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    const bool done = sqlite3_open_v2(path.toUtf8(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK
                      && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!done)
        qFatal("cannot prepare %s: %s", qPrintable(path), sqlite3_errmsg(db));
    sqlite3_close(db);
}

int WriteAndWait(const QString& path, int frames)
{
    RecordingWriter writer(path, SampleHeader());
    for (int i = 0; i < frames; ++i)
        writer.write(MadeUpFrame(i));
    std::fputs("written\n", stdout);
    std::fflush(stdout);
    char line[16];
    return std::fgets(line, sizeof line, stdin) ? 0 : 1;
}

} // namespace

// Recording files: what is written reads back, from a writer that closed, one still writing and one
// killed; bad files are told apart in the operator's words; a reader changes nothing.
class TestRecordingFile : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir_;

    QString file(const QString& name) const { return dir_->filePath(name); }

    static QString opening(const QString& path, const QString& reason)
    {
        return QString("Не удалось открыть запись «%1»: %2").arg(DisplayPath(path), reason);
    }

private Q_SLOTS:
    void init() { dir_.emplace(); }

    void roundTripKeepsHeaderAndFrames()
    {
        const QString path = file("запись 1.rec");
        // The last frame's data is empty.
        const auto written = [](int serial) {
            HistoryFrame frame = MadeUpFrame(serial);
            if (serial == 31)
                frame.data.clear();
            return frame;
        };
        {
            RecordingWriter writer(path, SampleHeader());
            QCOMPARE(writer.path(), path);
            for (int i = 0; i < 31; ++i)
                writer.write(written(i));
            // Read while the writer goes on.
            QCOMPARE(ReadAll(path, 31), QString());
            writer.write(written(31));
            QCOMPARE(writer.framesWritten(), 32);
        }
        QCOMPARE(ReadAll(path, 32, written), QString());
        // Closed, the recording is one file again.
        QCOMPARE(FolderEntries(dir_->path()), QStringList{"запись 1.rec"});
    }

    void writerRefusesAnExistingFileAndADeltaFirst()
    {
        const QString existing = file("existing.rec");
        PutBytes(existing, "keep");
        try {
            RecordingWriter writer(existing, SampleHeader());
            QFAIL("an existing file was taken");
        } catch (const RecordingError& error) {
            QCOMPARE(error.message(), QString("Не удалось создать запись «%1»: файл уже существует.").arg(existing));
        }
        QCOMPARE(GetBytes(existing), QByteArray("keep"));
        QVERIFY_THROWS_EXCEPTION(RecordingError, RecordingWriter(file("no/such/folder.rec"), SampleHeader()));

        const QString path = file("delta.rec");
        RecordingWriter writer(path, SampleHeader());
        QVERIFY_THROWS_EXCEPTION(RecordingError, writer.write(MadeUpFrame(1)));
        QCOMPARE(writer.framesWritten(), 0);
        writer.write(MadeUpFrame(0));
        writer.write(MadeUpFrame(1));
        QCOMPARE(ReadAll(path, 2), QString());
    }

    void killedWriterLeavesEveryFrameReadable()
    {
        const QString path = file("killed.rec");
        // Enough for SQLite to fold part of its log into the file before the kill.
        constexpr int Frames = 1200;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {WriterSwitch, path, QString::number(Frames)});
        while (!child.canReadLine())
            QVERIFY2(child.waitForReadyRead(60000), "the writer did not report");
        QCOMPARE(child.readLine(), QByteArray("written\n"));
        child.kill();
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        // The last frames live in the write-ahead log alone.
        QVERIFY(QFile::exists(path + "-wal"));

        const QByteArray database = GetBytes(path);
        const QByteArray log = GetBytes(path + "-wal");
        QCOMPARE(ReadAll(path, Frames), QString());
        QCOMPARE(GetBytes(path), database);
        QCOMPARE(GetBytes(path + "-wal"), log);

        // Where no file may be made, the log reads with its shared-memory file and not without it.
        ReadOnlyFolder whole({path, path + "-wal", path + "-shm"});
        if (!whole.ready())
            QSKIP(whole.why());
        QCOMPARE(ReadAll(whole.file("killed.rec"), Frames), QString());
        ReadOnlyFolder withoutShm({path, path + "-wal"});
        QVERIFY(withoutShm.ready());
        const QString bare = withoutShm.file("killed.rec");
        QCOMPARE(ReadAll(bare, Frames),
                 opening(bare, "запись не была закрыта, а её папка открыта только для чтения; скопируйте запись "
                               "вместе с файлом «killed.rec-wal» в папку, открытую для записи."));
        // The file alone: the frames folded into it before the kill.
        ReadOnlyFolder alone({path});
        QVERIFY(alone.ready());
        const RecordingReader reader(alone.file("killed.rec"));
        QVERIFY(reader.frameCount() > 0 && reader.frameCount() < Frames);
        QVERIFY(SameFrame(reader.frame(reader.frameCount() - 1), MadeUpFrame(reader.frameCount() - 1)));
    }

    void readerChangesNothing()
    {
        const QString path = file("closed.rec");
        WriteRecording(path, 3);
        const QByteArray bytes = GetBytes(path);
        const QDateTime modified = QFileInfo(path).lastModified();
        QCOMPARE(ReadAll(path, 3), QString());
        QCOMPARE(GetBytes(path), bytes);
        QCOMPARE(QFileInfo(path).lastModified(), modified);
        QCOMPARE(FolderEntries(dir_->path()), QStringList{"closed.rec"});

        ReadOnlyFolder folder({path});
        if (!folder.ready())
            QSKIP(folder.why());
        QCOMPARE(ReadAll(folder.file("closed.rec"), 3), QString());
    }

    void badFilesAreToldApart()
    {
        const QString notRecording = "файл не является записью.";
        const QString damaged = "файл повреждён.";
        const struct {
            const char* name;
            std::function<void(const QString&)> make;
            QString error;
        } cases[] = {
            {"missing", [](const QString&) {}, "файл не найден."},
            {"empty", [](const QString& path) { PutBytes(path, ""); }, notRecording},
            {"text", [](const QString& path) { PutBytes(path, QByteArray("select 1\r\nэто не запись\r\n").repeated(40)); },
             notRecording},
            {"other tables", [](const QString& path) { ExecSql(path, "CREATE TABLE t (a); INSERT INTO t VALUES (1)"); },
             notRecording},
            {"cut",
             [](const QString& path) {
                 WriteRecording(path, 60);
                 QFile(path).resize(QFileInfo(path).size() / 2);
             },
             damaged},
            {"null blob",
             [](const QString& path) {
                 WriteRecording(path, 2);
                 ExecSql(path, "CREATE TABLE f AS SELECT * FROM frames; DROP TABLE frames;"
                               " ALTER TABLE f RENAME TO frames; UPDATE frames SET data = NULL WHERE serial = 1");
             },
             QString("Не удалось прочитать запись «%1»: файл повреждён.")},
            {"later version",
             [](const QString& path) {
                 WriteRecording(path, 1);
                 ExecSql(path, "UPDATE header SET value = '2' WHERE key = 'version'");
             },
             "запись сделана другой версией программы (формат 2)."},
        };
        for (const auto& bad : cases) {
            const QString path = file(QString("%1.rec").arg(bad.name));
            bad.make(path);
            const QString expected = bad.error.contains("%1") ? bad.error.arg(DisplayPath(path)) : opening(path, bad.error);
            QCOMPARE(ReadAll(path, 2), expected);
        }
    }

    void fullDiskFailsCleanlyAndKeepsTheFramesBefore()
    {
        SmallDisk disk;
        if (!disk.mounted())
            QSKIP(disk.why());
        const QString path = disk.file("full.rec");
        // A recording that cannot be made leaves nothing behind.
        QVERIFY(disk.fill(0));
        try {
            RecordingWriter writer(path, SampleHeader());
            QFAIL("a recording was made on a full disk");
        } catch (const RecordingError& error) {
            QCOMPARE(error.message(), QString("Не удалось создать запись «%1»: диск заполнен.").arg(path));
        }
        QCOMPARE(FolderEntries(disk.path()), QStringList{SmallDisk::fillerName()});
        disk.empty();

        const auto small = [](int serial) {
            HistoryFrame frame = MadeUpFrame(serial);
            frame.data.truncate(2000);
            return frame;
        };
        int written = 0;
        {
            RecordingWriter writer(path, SampleHeader());
            try {
                for (; written < 100; ++written)
                    writer.write(small(written));
                QFAIL("a 64 KiB disk took 100 frames");
            } catch (const RecordingError& error) {
                QCOMPARE(error.message(), QString("Не удалось дописать запись «%1»: диск заполнен.").arg(path));
            }
            QCOMPARE(writer.framesWritten(), written);
        }
        QVERIFY(written > 0);
        QCOMPARE(ReadAll(path, written, small), QString());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == WriterSwitch)
        return WriteAndWait(arguments[2], arguments[3].toInt());
    TestRecordingFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recording_file.moc"
