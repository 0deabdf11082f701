#include "platform/FileSystem.h"

#include <QFileInfo>
#include <QSaveFile>

#include <atomic>

namespace {
std::atomic<bool> failNextRename{false};
}

QString FileSystemPath(const QString& path)
{
    QString result = path;
    return result.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

bool FileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(FileSystemPath(path)).isFile();
}

bool WriteFileAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(FileSystemPath(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size())
        return false;
    if (failNextRename.exchange(false))
        file.cancelWriting();
    return file.commit();
}

namespace platform_testing {
void FailNextRename()
{
    failNextRename = true;
}
} // namespace platform_testing
