#pragma once

#include <QList>
#include <QString>

struct SortKey {
    QString field;
    bool descending = false;
};

// Reads "[A] ,[B] DESC": comma-separated field names, bracketed or bare, each optionally
// followed by ASC or DESC (either case). An empty text gives no keys. Throws DataError on text
// it cannot read.
QList<SortKey> ParseSortText(const QString& text);
