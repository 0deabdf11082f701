#include "data/ToggleTitleSort.h"

#include "data/Query.h"
#include "data/SortText.h"

void ToggleTitleSort(Query& dataset, int field, QList<int>& sorted)
{
    // Only the low byte of the tag is the marker.
    const int marker = dataset.fieldTag(field) & 0xFF;
    const int next = marker == 1 ? 0 : (marker == 2 ? 1 : 2);
    dataset.setFieldTag(field, next);

    if (next == 0)
        sorted.removeOne(field);
    else if (!sorted.contains(field))
        sorted.append(field);

    QList<SortKey> keys;
    for (const int k : sorted)
        keys.append({dataset.fieldName(k), (dataset.fieldTag(k) & 0xFF) == 1});
    dataset.setSort(RenderSortText(keys));
}
