#include "monitor/ResultText.h"

#include "data/Query.h"

#include <vector>

QStringList ResultTextLines(const Query& result)
{
    const int fields = result.fieldCount();
    const int records = result.recordCount();
    std::vector<qsizetype> widths(static_cast<std::size_t>(fields));
    for (int j = 0; j < fields; ++j) {
        qsizetype width = result.fieldName(j).size();
        for (int row = 0; row < records; ++row)
            width = std::max(width, result.displayText(row, j).size());
        widths[static_cast<std::size_t>(j)] = width;
    }

    QStringList lines;
    lines.reserve(records + 2);
    QString header;
    QString rule;
    for (int j = 0; j < fields; ++j) {
        const qsizetype width = widths[static_cast<std::size_t>(j)];
        header += result.fieldName(j).leftJustified(width + 2);
        rule += QString(width + 1, QLatin1Char('-')) + QLatin1Char(' ');
    }
    lines << header << rule;
    for (int row = 0; row < records; ++row) {
        QString line;
        for (int j = 0; j < fields; ++j)
            line += result.displayText(row, j).leftJustified(widths[static_cast<std::size_t>(j)] + 2);
        lines << line;
    }
    return lines;
}
