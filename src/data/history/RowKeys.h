#pragma once

#include "data/records/RecordColumn.h"

#include <QString>
#include <QVarLengthArray>
#include <vector>

class RecordSet;

// The index of the field of records named name, without regard to case; -1 when there is none.
int FieldIndexIn(const RecordSet& records, const QString& name);

// A row's key as the grid shows its key cells, each cell's text after its length, so that no two
// different rows of cells make the same key. Built on the stack: no allocation per row.
using KeyText = QVarLengthArray<char16_t, 256>;

// Appends the key of row, made of the cells of columns, to key.
void AppendRowKey(const RecordSet& records, int row, const std::vector<int>& columns, TextScratch& scratch,
                  KeyText& key);
