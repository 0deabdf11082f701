#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <unistd.h>

// The process's resident size now, in kilobytes; 0 where it cannot be read.
inline long ResidentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}
