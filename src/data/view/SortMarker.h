#pragma once

// The sort marker that a field's tag carries in its low byte: what the column title shows and which
// way the column sorts.
enum class SortMarker : int { None = 0, Descending = 1, Ascending = 2 };

inline SortMarker SortMarkerOf(int tag)
{
    return static_cast<SortMarker>(tag & 0xFF);
}
