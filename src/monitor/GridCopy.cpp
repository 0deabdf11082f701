#include "monitor/GridCopy.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTableView>
#include <QSet>
#include <algorithm>
#include <vector>

namespace {

// A tab or line break inside a value would split it into two cells of the spreadsheet it is
// pasted into.
QString PlainCell(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

std::vector<int> Sorted(const QSet<int>& values)
{
    std::vector<int> sorted(values.begin(), values.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

} // namespace

CopiedCells CopyGridCells(const QAbstractItemModel& model, const QModelIndexList& selected, int currentRow)
{
    QSet<int> rowSet;
    QSet<int> columnSet;
    QSet<std::pair<int, int>> cells;
    for (const QModelIndex& index : selected) {
        rowSet.insert(index.row());
        columnSet.insert(index.column());
        cells.insert({index.row(), index.column()});
    }
    const bool wholeRow = selected.isEmpty();
    if (wholeRow) {
        if (currentRow < 0 || currentRow >= model.rowCount())
            return {};
        rowSet.insert(currentRow);
        for (int column = 0; column < model.columnCount(); ++column)
            columnSet.insert(column);
    }
    const std::vector<int> rows = Sorted(rowSet);
    const std::vector<int> columns = Sorted(columnSet);

    QStringList lines;
    QString html = QStringLiteral("<table>\n<tr>");
    QStringList titles;
    for (int column : columns) {
        const QString title = model.headerData(column, Qt::Horizontal).toString();
        titles << PlainCell(title);
        html += QStringLiteral("<th>") + title.toHtmlEscaped() + QStringLiteral("</th>");
    }
    lines << titles.join(QLatin1Char('\t'));
    html += QStringLiteral("</tr>\n");
    for (int row : rows) {
        QStringList values;
        html += QStringLiteral("<tr>");
        for (int column : columns) {
            const QString value = wholeRow || cells.contains({row, column})
                                      ? model.index(row, column).data().toString()
                                      : QString();
            values << PlainCell(value);
            html += QStringLiteral("<td>") + value.toHtmlEscaped() + QStringLiteral("</td>");
        }
        lines << values.join(QLatin1Char('\t'));
        html += QStringLiteral("</tr>\n");
    }
    html += QStringLiteral("</table>");
    return {lines.join(QLatin1Char('\n')) + QLatin1Char('\n'), html};
}

void CopyGridToClipboard(const QTableView& grid)
{
    const CopiedCells cells =
        CopyGridCells(*grid.model(), grid.selectionModel()->selectedIndexes(), grid.currentIndex().row());
    if (cells.Text.isEmpty())
        return;
    auto* data = new QMimeData;
    data->setText(cells.Text);
    data->setHtml(cells.Html);
    QGuiApplication::clipboard()->setMimeData(data);
}
