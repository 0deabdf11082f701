#pragma once

#include <QList>

class RecordView;

// A click on the title of the column showing field: cycles the field's sort marker none,
// ascending, descending, none; keeps sorted in the order columns were first clicked;
// sets the data set's sort text "[A] ,[B] DESC" built from it. Errors of the data set pass on.
void ToggleTitleSort(RecordView& dataset, int field, QList<int>& sorted);
