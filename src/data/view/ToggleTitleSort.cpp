#include "data/view/ToggleTitleSort.h"

#include "data/view/RecordView.h"
#include "data/view/SortMarker.h"
#include "data/view/SortText.h"

void ToggleTitleSort(RecordView& dataset, int field, QList<int>& sorted)
{
    const SortMarker marker = SortMarkerOf(dataset.fieldTag(field));
    const SortMarker next = marker == SortMarker::Descending
        ? SortMarker::None
        : (marker == SortMarker::Ascending ? SortMarker::Descending : SortMarker::Ascending);
    dataset.setFieldTag(field, static_cast<int>(next));

    if (next == SortMarker::None)
        sorted.removeOne(field);
    else if (!sorted.contains(field))
        sorted.append(field);

    QList<SortKey> keys;
    for (const int k : sorted)
        keys.append({dataset.fieldName(k), SortMarkerOf(dataset.fieldTag(k)) == SortMarker::Descending});
    dataset.setSort(RenderSortText(keys));
}
