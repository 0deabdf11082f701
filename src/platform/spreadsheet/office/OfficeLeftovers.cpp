#include "platform/spreadsheet/office/OfficeLeftovers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Where the office's runtime puts the sockets of its named pipes.
const QString PipeFolder = QStringLiteral("/tmp");

QString SocketPrefix()
{
    return QStringLiteral("OSL_PIPE_%1_").arg(getuid());
}

QString PipeSocket(const QString& pipe)
{
    return PipeFolder + u'/' + SocketPrefix() + pipe;
}

// Whether a process listens on the socket: a connection is taken or waits in its queue. Only a
// refused connection or a missing socket say no; anything else counts as yes.
bool Listened(const QString& socket)
{
    const QByteArray path = QFile::encodeName(socket);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(path.size()) >= sizeof(address.sun_path))
        return true;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return true;
    const int connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    ::close(fd);
    return connected == 0 || (error != ECONNREFUSED && error != ENOENT);
}

bool OldEnough(const QFileInfo& entry, std::chrono::milliseconds grace)
{
    return entry.fileTime(QFileDevice::FileModificationTime).toUTC()
        <= QDateTime::currentDateTimeUtc().addMSecs(-grace.count());
}

const QRegularExpression& ProgramPipeName()
{
    static const QRegularExpression name(QStringLiteral("^quillon_[0-9]+_[0-9a-f]{32}$"));
    return name;
}

} // namespace

QString NewOfficePipeName()
{
    return QStringLiteral("quillon_%1_%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QUuid::createUuid().toString(QUuid::Id128));
}

QString OfficeTempFolder(const QString& pipe)
{
    return QDir::tempPath() + u'/' + pipe;
}

void RemoveOfficeLeftovers(const QString& pipe)
{
    const QString socket = PipeSocket(pipe);
    if (Listened(socket))
        return;
    QFile::remove(socket);
    const QFileInfo folder(OfficeTempFolder(pipe));
    if (folder.isDir() && !folder.isSymLink())
        QDir(folder.filePath()).removeRecursively();
}

void RemoveLeftoversOfEndedOffices(std::chrono::milliseconds grace)
{
    const QString prefix = SocketPrefix();
    for (const QFileInfo& socket : QDir(PipeFolder).entryInfoList({prefix + QStringLiteral("quillon_*")}, QDir::System)) {
        const QString pipe = socket.fileName().mid(prefix.size());
        if (ProgramPipeName().match(pipe).hasMatch() && OldEnough(socket, grace))
            RemoveOfficeLeftovers(pipe);
    }
    // An office that died before it made its pipe leaves only its folder.
    for (const QFileInfo& folder : QDir(QDir::tempPath()).entryInfoList({QStringLiteral("quillon_*")}, QDir::Dirs)) {
        if (ProgramPipeName().match(folder.fileName()).hasMatch() && OldEnough(folder, grace))
            RemoveOfficeLeftovers(folder.fileName());
    }
}
