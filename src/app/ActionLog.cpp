#include "app/ActionLog.h"

#include "app/UserFolder.h"
#include "platform/FileSystem.h"
#include "platform/QuillonError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString Flattened(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t]+"));
    return QString(text).replace(breaks, QStringLiteral(" ")).trimmed();
}

} // namespace

QString ActionLogPath()
{
    return UserProgramFolder() + QStringLiteral("actions.log");
}

QString ActionLine(const ActionRecord& record)
{
    return QStringList{record.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), Flattened(record.server),
                       Flattened(record.login), Flattened(record.command), Flattened(record.outcome)}
        .join(QLatin1Char('\t'));
}

void AppendAction(const QString& file, const ActionRecord& record)
{
    const QByteArray line = (ActionLine(record) + QLatin1Char('\n')).toUtf8();
    QDir().mkpath(QFileInfo(FileSystemPath(file)).absolutePath());
    QFile log(FileSystemPath(file));
    // One write of the whole line in append mode: lines of several windows never interleave.
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append) || log.write(line) != line.size() || !log.flush())
        throw FileError(QStringLiteral("Cannot write to %1").arg(DisplayPath(file)));
}
