#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Copies of files in a tmpfs remounted read-only: a folder that nobody may write to, root included,
// where permission bits would not stop the tests (they run as root). Needs the right to mount;
// ready() says whether it worked and why() why not.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QStringList& files)
    {
        mounted_ = run({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=64m"),
                        QStringLiteral("tmpfs"), dir_.path()});
        if (!mounted_)
            return;
        for (const QString& source : files) {
            if (!QFile::copy(source, file(QFileInfo(source).fileName())))
                return;
        }
        ready_ = run({QStringLiteral("-o"), QStringLiteral("remount,ro"), dir_.path()});
    }
    ~ReadOnlyFolder()
    {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), dir_.path()});
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool ready() const { return ready_; }
    QByteArray why() const { return ("cannot mount a read-only tmpfs: " + why_).toLocal8Bit(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    bool run(const QStringList& arguments)
    {
        QProcess mount;
        mount.setProcessChannelMode(QProcess::MergedChannels);
        mount.start(QStringLiteral("mount"), arguments);
        if (mount.waitForFinished(30000) && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0)
            return true;
        why_ = QString::fromLocal8Bit(mount.readAll()).trimmed() + mount.errorString();
        return false;
    }

    QTemporaryDir dir_;
    bool mounted_ = false;
    bool ready_ = false;
    QString why_;
};
