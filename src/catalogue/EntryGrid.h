#pragma once

#include <QString>

class QTableWidget;

// The catalogue-style grid of the catalogue window and of the entry editor's command menu: a
// marker column 16 pixels wide at each end, "Идентификатор", "Наименование" and "Скрипт-файл"
// between them, whole rows selected, rows 18 pixels high, the current row marked at both ends.
//
// Row 0 is the title row that FillEntryGrid leaves alone and data rows start at row 1. The titles
// show in the grid's header, which stays in place when the rows scroll, so row 0 itself is hidden.
void SetUpEntryGrid(QTableWidget* grid);

// Columns 1 to 3 take 20, 25 and 55 percent of the grid's width less 57 pixels, each rounded to
// the nearest whole pixel, halves to the even one.
void LayOutEntryColumns(QTableWidget* grid);

// The width a column gets for percent of the free width, as LayOutEntryColumns rounds it.
int EntryColumnWidth(int freeWidth, int percent);

// Makes row the grid's current and only selected row.
void SelectEntryRow(QTableWidget* grid, int row);

// The data row whose column 1 holds id exactly, the first or the last of them; -1 when none does.
int FindEntryRow(const QTableWidget* grid, const QString& id, bool last);
