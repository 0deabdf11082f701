#include "platform/LineFile.h"

#include "platform/ByteLines.h"
#include "platform/FileSystem.h"
#include "platform/QuillonError.h"
#include "platform/TextCodec.h"

#include <QFile>

QStringList ReadLines(const QString& path)
{
    QFile file(FileSystemPath(path));
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Cannot open file %1").arg(DisplayPath(path)));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("Cannot open file %1").arg(DisplayPath(path)));
    QStringList lines;
    for (const ByteLine& line : SplitByteLines(data))
        lines.append(FromCp1251(line.text));
    return lines;
}

void WriteLines(const QString& path, const QStringList& lines, FileAccess access)
{
    QByteArray data;
    for (const QString& line : lines)
        data += ToCp1251(line) + "\r\n";
    if (!WriteFileAtomically(path, data, access))
        throw FileError(QStringLiteral("Cannot create file %1").arg(DisplayPath(path)));
}
