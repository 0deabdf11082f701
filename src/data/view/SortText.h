#pragma once

#include <QList>
#include <QString>

struct SortKey {
    QString field;
    bool descending = false;
};

// Reads "[A] ,[B] DESC": comma-separated field names, bracketed or bare, each optionally
// followed by ASC or DESC (either case). Inside brackets "]]" stands for "]" and the name may be
// blank or empty; a bare name runs to the next blank or comma. An empty text gives no keys.
// Throws DataError on text it cannot read.
QList<SortKey> ParseSortText(const QString& text);

// Writes keys as the grid's title clicks do, "[A] ,[B] DESC", every name bracketed, so that
// ParseSortText reads back the same keys.
QString RenderSortText(const QList<SortKey>& keys);
