#pragma once

#include "data/view/Bookmark.h"

#include <QStringList>

class RecordSet;
class RecordView;

// The operator's row as its key columns name it, to be found again in another result: by its key
// where the script has key columns that the result has, else by its place in the result.
struct RowIdentity {
    QStringList keys;   // the key cells' display texts; empty when the row goes by its place
    int record = -1;    // its record row; -1 for none
    friend bool operator==(const RowIdentity&, const RowIdentity&) = default;
};

RowIdentity CurrentRowIdentity(const RecordView& view, const QStringList& keyColumns);

// The row of records that identity names; invalid when there is none.
Bookmark FindRow(const RecordSet& records, const RowIdentity& identity, const QStringList& keyColumns);
