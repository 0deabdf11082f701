#include "data/history/RecordingFile.h"

#include "data/DataErrors.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QUrl>
#include <limits>
#include <sqlite3.h>

namespace {

Q_LOGGING_CATEGORY(lcRecording, "quillon.recording")

// The header's format name tells a recording from any other SQLite file; the version, the layouts
// of this program from those of a later one.
const QString FormatName = QStringLiteral("Quillon recording");
constexpr int FormatVersion = 1;

const char* const Schema =
    "CREATE TABLE header (key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;"
    "CREATE TABLE frames (serial INTEGER PRIMARY KEY, time INTEGER NOT NULL, keyframe INTEGER NOT NULL,"
    " row_count INTEGER NOT NULL, data BLOB NOT NULL);";

const QString FormatKey = QStringLiteral("format");
const QString VersionKey = QStringLiteral("version");
const QString ServerKey = QStringLiteral("server");
const QString ScriptNameKey = QStringLiteral("script_name");
const QString ScriptIdKey = QStringLiteral("script_id");
const QString ScriptTextKey = QStringLiteral("script_text");
const QString KeyColumnsKey = QStringLiteral("key_columns");
const QString CumulativeColumnsKey = QStringLiteral("cumulative_columns");
const QString StartedKey = QStringLiteral("started");

// A reader waits this long for a writer that holds the file for a moment (a checkpoint), and the
// writer as long for readers when it closes.
constexpr int BusyMillis = 2000;

const QString NotFound = QStringLiteral("файл не найден.");
const QString NotRecording = QStringLiteral("файл не является записью.");
const QString Damaged = QStringLiteral("файл повреждён.");

enum class Step { Create, Append, Open, Read };

RecordingError Failure(Step step, const QString& path, const QString& reason)
{
    QString text;
    switch (step) {
    case Step::Create: text = QStringLiteral("Не удалось создать запись «%1»: %2"); break;
    case Step::Append: text = QStringLiteral("Не удалось дописать запись «%1»: %2"); break;
    case Step::Open: text = QStringLiteral("Не удалось открыть запись «%1»: %2"); break;
    case Step::Read: text = QStringLiteral("Не удалось прочитать запись «%1»: %2"); break;
    }
    return RecordingError(text.arg(DisplayPath(path), reason));
}

QString Reason(int code)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB: return NotRecording;
    case SQLITE_CORRUPT: return Damaged;
    case SQLITE_FULL: return QStringLiteral("диск заполнен.");
    case SQLITE_READONLY:
    case SQLITE_PERM: return QStringLiteral("нет прав на запись.");
    case SQLITE_CANTOPEN: return QStringLiteral("нет доступа к файлу.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("файл занят другой программой.");
    case SQLITE_NOMEM: return QStringLiteral("недостаточно памяти.");
    case SQLITE_IOERR: return QStringLiteral("ошибка чтения или записи диска.");
    default: return QStringLiteral("ошибка SQLite «%1».").arg(QString::fromUtf8(sqlite3_errstr(code)));
    }
}

// Statements are finalized before their connection closes; close_v2 waits for any left.
class Connection {
public:
    Connection() = default;
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int open(const QByteArray& name, int flags)
    {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        const int rc = sqlite3_open_v2(name.constData(), &db_, flags, nullptr);
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, BusyMillis);
        return rc;
    }
    sqlite3* get() const { return db_; }
    int error() const { return sqlite3_extended_errcode(db_); }

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(handle_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepare(sqlite3* db, const char* sql)
    {
        sqlite3_finalize(handle_);
        handle_ = nullptr;
        return sqlite3_prepare_v2(db, sql, -1, &handle_, nullptr);
    }
    void finalize()
    {
        sqlite3_finalize(handle_);
        handle_ = nullptr;
    }
    sqlite3_stmt* get() const { return handle_; }

private:
    sqlite3_stmt* handle_ = nullptr;
};

// The files SQLite keeps beside a database while it is open.
QStringList CompanionFiles(const QString& file)
{
    return {file + QStringLiteral("-wal"), file + QStringLiteral("-shm"), file + QStringLiteral("-journal")};
}

QString ColumnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

QString ListText(const QStringList& list)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
}

bool ParseList(const QString& text, QStringList& list)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isArray())
        return false;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString())
            return false;
        list << value.toString();
    }
    return true;
}

} // namespace

struct RecordingWriter::Impl {
    QString path;
    Connection connection;
    Statement insert;
    int written = 0;

    [[noreturn]] void fail(Step step) const { throw Failure(step, path, Reason(connection.error())); }

    void exec(const char* sql)
    {
        if (sqlite3_exec(connection.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(Step::Create);
    }

    // Made by this writer alone, so that an existing file of the same name is never touched.
    void createEmpty(const QString& file) const
    {
        QFile created(file);
        if (created.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return;
        if (QFileInfo::exists(file))
            throw Failure(Step::Create, path, QStringLiteral("файл уже существует."));
        if (!QFileInfo(file).absoluteDir().exists())
            throw Failure(Step::Create, path, QStringLiteral("папка не найдена."));
        throw Failure(Step::Create, path, QStringLiteral("нет прав на запись в папку."));
    }

    void create(const QString& file, const RecordingHeader& header)
    {
        if (connection.open(file.toUtf8(), SQLITE_OPEN_READWRITE) != SQLITE_OK)
            fail(Step::Create);
        // Small pages: a frame of a few kilobytes wastes at most the end of its last page, where
        // larger ones leave room that no frame fits into (a fifth of an hour's file at 4 KB).
        exec("PRAGMA page_size=1024");
        // A frame committed to the write-ahead log survives the process being killed; NORMAL syncs
        // only at checkpoints, so a refresh costs no flush to disk.
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
        exec("BEGIN");
        exec(Schema);
        Statement put;
        if (put.prepare(connection.get(), "INSERT INTO header (key, value) VALUES (?, ?)") != SQLITE_OK)
            fail(Step::Create);
        const QList<std::pair<QString, QString>> values{
            {FormatKey, FormatName},
            {VersionKey, QString::number(FormatVersion)},
            {ServerKey, header.server},
            {ScriptNameKey, header.scriptName},
            {ScriptIdKey, header.scriptId},
            {ScriptTextKey, header.scriptText},
            {KeyColumnsKey, ListText(header.keyColumns)},
            {CumulativeColumnsKey, ListText(header.cumulativeColumns)},
            {StartedKey, QString::number(header.started)},
        };
        for (const auto& [key, value] : values) {
            const QByteArray keyText = key.toUtf8();
            const QByteArray valueText = value.toUtf8();
            sqlite3_bind_text(put.get(), 1, keyText.constData(), int(keyText.size()), SQLITE_STATIC);
            sqlite3_bind_text(put.get(), 2, valueText.constData(), int(valueText.size()), SQLITE_STATIC);
            if (sqlite3_step(put.get()) != SQLITE_DONE)
                fail(Step::Create);
            sqlite3_reset(put.get());
        }
        put.finalize();
        exec("COMMIT");
        // The header in the file itself: a copy of the file without its log is still a recording.
        exec("PRAGMA wal_checkpoint(TRUNCATE)");
        if (insert.prepare(connection.get(), "INSERT INTO frames (serial, time, keyframe, row_count, data)"
                                             " VALUES (?, ?, ?, ?, ?)") != SQLITE_OK)
            fail(Step::Create);
    }

    // A recording closed in order is one file again, readable where SQLite could not keep its
    // log beside it (a read-only folder, a copy of the file alone).
    void finish()
    {
        insert.finalize();
        if (sqlite3_exec(connection.get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
            qCInfo(lcRecording, "recording %s keeps its write-ahead log: %s", qUtf8Printable(DisplayPath(path)),
                   sqlite3_errmsg(connection.get()));
    }
};

RecordingWriter::RecordingWriter(const QString& path, const RecordingHeader& header) : impl_(std::make_unique<Impl>())
{
    impl_->path = path;
    const QString file = FileSystemPath(path);
    impl_->createEmpty(file);
    try {
        impl_->create(file, header);
    } catch (const RecordingError&) {
        impl_.reset();
        QFile::remove(file);
        for (const QString& companion : CompanionFiles(file))
            QFile::remove(companion);
        throw;
    }
}

RecordingWriter::~RecordingWriter()
{
    impl_->finish();
}

void RecordingWriter::write(const HistoryFrame& frame)
{
    if (impl_->written == 0 && !frame.keyframe)
        throw Failure(Step::Append, impl_->path, QStringLiteral("запись должна начинаться с полного кадра."));
    sqlite3_stmt* insert = impl_->insert.get();
    sqlite3_bind_int(insert, 1, impl_->written);
    sqlite3_bind_int64(insert, 2, frame.time);
    sqlite3_bind_int(insert, 3, frame.keyframe ? 1 : 0);
    sqlite3_bind_int(insert, 4, frame.rowCount);
    // An empty blob still is a blob, not a null.
    sqlite3_bind_blob64(insert, 5, frame.data.isEmpty() ? "" : frame.data.constData(), sqlite3_uint64(frame.data.size()),
                        SQLITE_STATIC);
    const int rc = sqlite3_step(insert);
    const int code = impl_->connection.error();
    sqlite3_reset(insert);
    sqlite3_clear_bindings(insert);
    if (rc != SQLITE_DONE)
        throw Failure(Step::Append, impl_->path, Reason(code));
    ++impl_->written;
}

const QString& RecordingWriter::path() const
{
    return impl_->path;
}

int RecordingWriter::framesWritten() const
{
    return impl_->written;
}

struct RecordingReader::Impl {
    QString path;
    Connection connection;
    Statement select;
    RecordingHeader header;
    int count = 0;
    mutable int failure = SQLITE_OK;

    [[noreturn]] void fail(Step step, int code) const
    {
        failure = code;
        throw Failure(step, path, Reason(code));
    }

    // A statement of the layout this program writes fails to prepare on a database of other tables.
    void prepare(Statement& statement, const char* sql) const
    {
        if (statement.prepare(connection.get(), sql) == SQLITE_OK)
            return;
        const int code = connection.error();
        if (code == SQLITE_ERROR)
            throw Failure(Step::Open, path, NotRecording);
        fail(Step::Open, code);
    }

    void load()
    {
        Statement rows;
        prepare(rows, "SELECT key, value FROM header");
        QHash<QString, QString> values;
        int rc;
        while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW)
            values.insert(ColumnText(rows.get(), 0), ColumnText(rows.get(), 1));
        if (rc != SQLITE_DONE)
            fail(Step::Open, connection.error());
        rows.finalize();
        if (values.value(FormatKey) != FormatName)
            throw Failure(Step::Open, path, NotRecording);
        bool numeric = false;
        const int version = values.value(VersionKey).toInt(&numeric);
        if (!numeric)
            throw Failure(Step::Open, path, Damaged);
        if (version != FormatVersion)
            throw Failure(Step::Open, path, QStringLiteral("запись сделана другой версией программы (формат %1).").arg(version));
        header.server = values.value(ServerKey);
        header.scriptName = values.value(ScriptNameKey);
        header.scriptId = values.value(ScriptIdKey);
        header.scriptText = values.value(ScriptTextKey);
        header.started = values.value(StartedKey).toLongLong(&numeric);
        if (!numeric || !ParseList(values.value(KeyColumnsKey), header.keyColumns)
            || !ParseList(values.value(CumulativeColumnsKey), header.cumulativeColumns))
            throw Failure(Step::Open, path, Damaged);

        // Serials run from 0 without a gap, so that a frame's index is its serial.
        Statement extent;
        prepare(extent, "SELECT count(*), coalesce(min(serial), 0), coalesce(max(serial), -1) FROM frames");
        if (sqlite3_step(extent.get()) != SQLITE_ROW)
            fail(Step::Open, connection.error());
        const qint64 frames = sqlite3_column_int64(extent.get(), 0);
        if (sqlite3_column_int64(extent.get(), 1) != 0 || sqlite3_column_int64(extent.get(), 2) != frames - 1
            || frames > std::numeric_limits<int>::max())
            throw Failure(Step::Open, path, Damaged);
        count = int(frames);
        prepare(select, "SELECT time, keyframe, row_count, data FROM frames WHERE serial = ?");
        if (count > 0 && !fetch(0, Step::Open).keyframe)
            throw Failure(Step::Open, path, Damaged);
    }

    HistoryFrame fetch(int index, Step step) const
    {
        sqlite3_stmt* row = select.get();
        sqlite3_bind_int(row, 1, index);
        const int rc = sqlite3_step(row);
        const int code = connection.error();
        HistoryFrame frame;
        bool whole = rc == SQLITE_ROW && sqlite3_column_type(row, 0) == SQLITE_INTEGER
                     && sqlite3_column_type(row, 1) == SQLITE_INTEGER && sqlite3_column_type(row, 2) == SQLITE_INTEGER
                     && sqlite3_column_type(row, 3) == SQLITE_BLOB;
        if (whole) {
            frame.time = sqlite3_column_int64(row, 0);
            const qint64 keyframe = sqlite3_column_int64(row, 1);
            const qint64 rowCount = sqlite3_column_int64(row, 2);
            whole = (keyframe == 0 || keyframe == 1) && rowCount >= 0 && rowCount <= std::numeric_limits<int>::max();
            frame.keyframe = keyframe == 1;
            frame.rowCount = int(rowCount);
            frame.data = QByteArray(static_cast<const char*>(sqlite3_column_blob(row, 3)), sqlite3_column_bytes(row, 3));
        }
        // Reset at once: a statement left open would hold the writer's log from being folded in.
        sqlite3_reset(row);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            fail(step, code);
        if (!whole)
            throw Failure(step, path, Damaged);
        return frame;
    }
};

RecordingReader::RecordingReader(const QString& path) : impl_(std::make_unique<Impl>())
{
    impl_->path = path;
    const QString file = FileSystemPath(path);
    const QFileInfo info(file);
    if (!info.exists())
        throw Failure(Step::Open, path, NotFound);
    if (!info.isFile())
        throw Failure(Step::Open, path, NotRecording);
    if (impl_->connection.open(file.toUtf8(), SQLITE_OPEN_READONLY) != SQLITE_OK)
        impl_->fail(Step::Open, impl_->connection.error());
    try {
        impl_->load();
    } catch (const RecordingError&) {
        // Without its shared-memory file SQLite cannot read a log it may not create: a folder that
        // is read-only, holding a recording whose writer never closed it.
        if ((impl_->failure & 0xff) != SQLITE_CANTOPEN)
            throw;
        const QString log = CompanionFiles(file).front();
        if (QFileInfo::exists(log))
            throw Failure(Step::Open, path,
                          QStringLiteral("запись не была закрыта, а её папка открыта только для чтения; скопируйте "
                                         "запись вместе с файлом «%1» в папку, открытую для записи.")
                              .arg(QFileInfo(log).fileName()));
        // No log to lose: the file alone is all there is of it.
        const QByteArray uri = QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded() + "?immutable=1";
        if (impl_->connection.open(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI) != SQLITE_OK)
            impl_->fail(Step::Open, impl_->connection.error());
        impl_->load();
    }
}

RecordingReader::~RecordingReader() = default;

const RecordingHeader& RecordingReader::header() const
{
    return impl_->header;
}

int RecordingReader::frameCount() const
{
    return impl_->count;
}

HistoryFrame RecordingReader::frame(int index) const
{
    Q_ASSERT(index >= 0 && index < impl_->count);
    return impl_->fetch(index, Step::Read);
}
