#pragma once

// A throwaway program folder for tests of the application object and the windows.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

class ProgramFolder {
public:
    ProgramFolder() { QDir(dir_.path()).mkpath(QStringLiteral("Config")); }

    QString path() const { return dir_.path(); }
    // The executable the application object takes its folder and settings file name from.
    QString executable() const { return dir_.path() + QStringLiteral("/quillon"); }
    QString file(const QString& relative) const { return dir_.path() + QLatin1Char('/') + relative; }
    QString settingsFile() const { return file(QStringLiteral("Config/quillon.ini")); }

    void write(const QString& relative, const QByteArray& bytes) const
    {
        const QString full = file(relative);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile f(full);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }

    QByteArray read(const QString& relative) const
    {
        QFile f(file(relative));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll();
    }

private:
    QTemporaryDir dir_;
};
