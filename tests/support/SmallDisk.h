#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QString>
#include <QTemporaryDir>

// A 64 KiB tmpfs on a temporary folder, to see what a write does when the disk runs out. Needs
// the right to mount (the tests run as root); mounted() says whether it worked and why() why not.
class SmallDisk {
public:
    SmallDisk()
    {
        QProcess mount;
        mount.setProcessChannelMode(QProcess::MergedChannels);
        mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=64k"), QStringLiteral("tmpfs"), dir_.path()});
        mounted_ = mount.waitForFinished(30000) && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
        if (!mounted_)
            why_ = QString::fromLocal8Bit(mount.readAll()).trimmed() + mount.errorString();
    }
    ~SmallDisk()
    {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), dir_.path()});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    QByteArray why() const { return ("cannot mount a small tmpfs to fill: " + why_).toLocal8Bit(); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    static QString fillerName() { return QStringLiteral("filler"); }

    // Fills the disk up with a filler file, then gives leave bytes of it back.
    bool fill(qint64 leave)
    {
        QFile filler(file(fillerName()));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        return filler.resize(qMax<qint64>(0, filler.size() - leave)) && freeBytes() == leave;
    }

    void empty() { QFile::remove(file(fillerName())); }

    qint64 freeBytes() const
    {
        QStorageInfo storage(dir_.path());
        storage.refresh();
        return storage.bytesAvailable();
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString why_;
};
