#include "platform/ByteLines.h"

QList<ByteLine> SplitByteLines(const QByteArray& data)
{
    QList<ByteLine> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype stop = start;
        while (stop < data.size() && data[stop] != '\r' && data[stop] != '\n')
            ++stop;
        qsizetype next = stop;
        if (next < data.size() && data[next] == '\r')
            ++next;
        if (next < data.size() && data[next] == '\n')
            ++next;
        lines.append({data.sliced(start, stop - start), data.sliced(stop, next - stop)});
        start = next;
    }
    return lines;
}
