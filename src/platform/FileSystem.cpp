#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <chrono>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::atomic<bool> failNextRename{false};

// QSaveFile names its temporary copy after the file, a dot and six random ASCII letters.
bool IsTemporaryCopyName(const QString& entry, const QString& fileName)
{
    if (entry.size() != fileName.size() + 7 || !entry.startsWith(fileName) || entry[fileName.size()] != u'.')
        return false;
    for (qsizetype i = fileName.size() + 1; i < entry.size(); ++i) {
        const char16_t c = entry[i].unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    }
    return true;
}

// How long a copy must have gone unwritten to count as left behind: far longer than any write,
// so that the copy of another process writing the same file at this moment is not taken from it.
constexpr std::chrono::minutes LeftoverAge{2};

// A process killed between writing its copy and renaming it leaves the copy behind. Removed
// before the new copy is written, so that the space it holds counts again.
void RemoveLeftoverCopies(const QFileInfo& target)
{
    QDir folder = target.absoluteDir();
    const QString fileName = target.fileName();
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-std::chrono::seconds(LeftoverAge).count());
    // No name filter: its wildcards would read "[" or "*" in the file's own name as patterns.
    const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (IsTemporaryCopyName(entry.fileName(), fileName) && entry.lastModified().toUTC() < before)
            folder.remove(entry.fileName());
    }
}

// QSaveFile's own sync ignores errors; a file system that reports a lack of space only here
// (network shares, compressed volumes) must fail the write too. One that cannot sync at all
// (EINVAL) has nothing to report.
bool SyncToDisk(QSaveFile& file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return fsync(file.handle()) == 0 || errno == EINVAL;
#endif
}

// Makes the rename itself durable, so that a power cut cannot bring the old file back. The new
// file is in place by now whatever this returns, so a failure here is not the write's failure.
void SyncFolder(const QString& folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
#else
    const int fd = open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
#endif
}

} // namespace

QString FileSystemPath(const QString& path)
{
    QString result = path;
    return result.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString DisplayPath(const QString& path)
{
    return QDir::toNativeSeparators(FileSystemPath(path));
}

bool FileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(FileSystemPath(path)).isFile();
}

bool SameFile(const QString& a, const QString& b)
{
    const QFileInfo first(FileSystemPath(a));
    const QFileInfo second(FileSystemPath(b));
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity files = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity files = Qt::CaseSensitive;
#endif
    if (first.exists() && second.exists())
        return first.canonicalFilePath().compare(second.canonicalFilePath(), files) == 0;
    return QDir::cleanPath(first.absoluteFilePath()).compare(QDir::cleanPath(second.absoluteFilePath()), files) == 0;
}

namespace {

bool ReplaceFile(const QFileInfo& target, const QByteArray& data)
{
    QSaveFile file(target.filePath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Data smaller than the write buffer only reaches the disk at the flush, and commit() does
    // not look at how that went: on a full disk it would rename a short copy over the file.
    // Returning without commit() discards the copy.
    if (file.write(data) != data.size() || !SyncToDisk(file) || file.error() != QFileDevice::NoError)
        return false;
    if (failNextRename.exchange(false))
        file.cancelWriting();
    if (!file.commit())
        return false;
    SyncFolder(target.absolutePath());
    return true;
}

} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& data, FileAccess access)
{
    const QFileInfo target(FileSystemPath(path));
    if (target.absoluteDir().exists())
        RemoveLeftoverCopies(target);
    // QSaveFile gives its copy the permissions of the file it replaces, and a new file those of
    // the umask: an empty owner-only file made first keeps the data from ever being readable by
    // others. It goes again when the write fails.
    bool placeholder = false;
    if (access == FileAccess::OwnerOnly && !target.exists()) {
        QFile empty(target.filePath());
        if (!empty.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return false;
        placeholder = true;
    }
    const bool written = ReplaceFile(target, data);
    if (!written && placeholder)
        QFile::remove(target.filePath());
    return written;
}

namespace platform_testing {
void FailNextRename()
{
    failNextRename = true;
}
} // namespace platform_testing
