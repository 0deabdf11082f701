#include "app/UserFolder.h"

#include "platform/FileSystem.h"
#include "platform/QuillonError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString ConfigurationFolder(const QString& programFolder, const QString& settingsFile)
{
    if (QFileInfo(programFolder).isWritable())
        return programFolder;
    const QString userFolder = UserProgramFolder();
    if (!FileExists(userFolder + settingsFile))
        SeedUserFolder(programFolder, userFolder);
    return userFolder;
}

QString UserProgramFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/quillon/");
}

void SeedUserFolder(const QString& programFolder, const QString& userFolder)
{
    for (const char* sub : {"Config", "Scripts"}) {
        const QString folder = QString::fromLatin1(sub);
        const QDir from(programFolder + folder);
        QDirIterator files(from.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString source = files.next();
            const QString target = userFolder + folder + QLatin1Char('/') + from.relativeFilePath(source);
            if (QFileInfo::exists(target))
                continue;
            QFile in(source);
            if (!in.open(QIODevice::ReadOnly))
                throw FileError(QStringLiteral("Cannot open file %1").arg(DisplayPath(source)));
            if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !WriteFileAtomically(target, in.readAll()))
                throw FileError(QStringLiteral("Cannot create file %1").arg(DisplayPath(target)));
        }
    }
}
