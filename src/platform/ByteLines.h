#pragma once

#include <QByteArray>
#include <QList>

// One line of an 8-bit text file with the break that ended it: "\r\n", "\n", "\r", or empty for a
// last line without a break.
struct ByteLine {
    QByteArray text;
    QByteArray end;
};

// A break at the very end of the data adds no line; empty data has no lines.
QList<ByteLine> SplitByteLines(const QByteArray& data);
