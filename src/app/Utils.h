#pragma once

#include "app/ImageList.h"
#include "app/ServiceClasses.h"

#include <QString>
#include <memory>
#include <vector>

class QComboBox;
class QPainter;
class QTableWidget;
class QToolBar;

// The path rule: configured paths are resolved against the program folder at the moment of use.
QString ExpandAppPath(const QString& path);

// Keeps a most-recently-used list: the combo box's text becomes item 0, replacing an equal item.
void PromoteComboText(QComboBox* combo);

void ReplaceChar(QString& text, QChar from, QChar to);

// Replaces every occurrence of find (ASCII letters without regard to case) by replacement.
void ReplaceTextNoCase(QString& text, const QString& replacement, const QString& find);

// Captions beside the buttons as App->ShowCaptions says, and the tool bar as wide as its visible
// controls plus 5 pixels, never so narrow that a control is hidden.
void ApplyToolBarCaptions(QToolBar* toolbar);

// Catalogue-style grids: column 1 Id, column 2 Name, column 3 ScriptFile; row 0 holds the titles.
template <typename Entry>
void FillEntryGrid(QTableWidget* grid, const std::vector<std::unique_ptr<Entry>>& entries);
void FillEntryGridRows(QTableWidget* grid, const std::vector<const TSensor*>& entries);

// Called for every cell a catalogue-style grid draws: on the grid's current row, paints image imageA
// of the image list at the top-left corner of cell (colA, row) and imageB at that of (colB, row).
void DrawRowMarkers(QPainter* painter, const QTableWidget* grid, int row, int colA, int colB,
                    ImageSlot imageA, ImageSlot imageB);

template <typename Entry>
void FillEntryGrid(QTableWidget* grid, const std::vector<std::unique_ptr<Entry>>& entries)
{
    std::vector<const TSensor*> rows;
    rows.reserve(entries.size());
    for (const auto& entry : entries)
        rows.push_back(entry.get());
    FillEntryGridRows(grid, rows);
}
