#include "app/Utils.h"

#include "app/ImageList.h"

#include <QComboBox>
#include <QLayout>
#include <QPainter>
#include <QTableWidget>
#include <QToolBar>
#include <algorithm>

QString ExpandAppPath(const QString& path)
{
    QString result = path;
    if (result.startsWith(QLatin1Char('\\')))
        result.remove(0, 1);
    if (result.size() >= 2 && result.at(1) == QLatin1Char(':'))
        return result;
    // On Linux a path from the root is absolute as well.
    if (result.startsWith(QLatin1Char('/')))
        return result;
    return App->AppPath + result;
}

void PromoteComboText(QComboBox* combo)
{
    const QString text = combo->currentText();
    if (text.isEmpty())
        return;
    const int found = combo->findText(text, Qt::MatchFixedString);
    if (found >= 0)
        combo->removeItem(found);
    combo->insertItem(0, text);
    combo->setCurrentIndex(0);
}

void ReplaceChar(QString& text, QChar from, QChar to)
{
    text.replace(from, to);
}

namespace {

QString asciiUpper(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return result;
}

} // namespace

void ReplaceTextNoCase(QString& text, const QString& replacement, const QString& find)
{
    if (find.isEmpty())
        return;
    const QString needle = asciiUpper(find);
    QString haystack = asciiUpper(text);
    // Searching on after the inserted text ends even when the replacement holds the text found, and
    // still replaces every occurrence the original text had.
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = haystack.indexOf(needle, from, Qt::CaseSensitive);
        if (at < 0)
            break;
        text.replace(at, find.size(), replacement);
        haystack.replace(at, find.size(), asciiUpper(replacement));
        from = at + replacement.size();
    }
}

void ApplyToolBarCaptions(QToolBar* toolbar)
{
    toolbar->setToolButtonStyle(App->ShowCaptions ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    toolbar->layout()->invalidate();
    toolbar->layout()->activate();
    // A control takes its hint, but never less than its minimum (the script box's fixed width).
    int width = 0;
    for (QAction* action : toolbar->actions()) {
        QWidget* widget = toolbar->widgetForAction(action);
        if (widget && action->isVisible())
            width += widget->sizeHint().expandedTo(widget->minimumSize()).boundedTo(widget->maximumSize()).width()
                + toolbar->layout()->spacing();
    }
    const QMargins margins = toolbar->contentsMargins() + toolbar->layout()->contentsMargins();
    width += margins.left() + margins.right() + 5;
    // Narrower than its own layout wants, the tool bar would hide its last controls behind an arrow.
    toolbar->setFixedWidth(std::max(width, toolbar->layout()->sizeHint().width()));
}

void FillEntryGridRows(QTableWidget* grid, const std::vector<const TSensor*>& entries)
{
    grid->setRowCount(entries.empty() ? 2 : static_cast<int>(entries.size()) + 1);
    for (int column = 0; column < grid->columnCount(); ++column)
        grid->setItem(1, column, new QTableWidgetItem);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        grid->setItem(row, 1, new QTableWidgetItem(entries[i]->Id));
        grid->setItem(row, 2, new QTableWidgetItem(entries[i]->Name));
        grid->setItem(row, 3, new QTableWidgetItem(entries[i]->ScriptFile));
    }
}

void DrawRowMarkers(QPainter* painter, const QTableWidget* grid, int row, int colA, int colB, ImageSlot imageA,
                    ImageSlot imageB)
{
    if (row != grid->currentRow())
        return;
    const QRect cellA = grid->visualRect(grid->model()->index(row, colA));
    const QRect cellB = grid->visualRect(grid->model()->index(row, colB));
    ImageListIcon(imageA).paint(painter, QRect(cellA.topLeft(), QSize(16, 16)));
    ImageListIcon(imageB).paint(painter, QRect(cellB.topLeft(), QSize(16, 16)));
}
