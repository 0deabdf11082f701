#pragma once

#include <QtGlobal>
#include <vector>

class RecordSet;

// One 64-bit key per row that orders a column as the sort compares it: numbers and dates by
// value, exact decimals exactly, text by the locale's collation without regard to case (a
// collation key per distinct value, ranked once, instead of a collator call per comparison).
// A null gets the lowest key, so nulls come first in ascending order.
std::vector<qint64> OrderingKeys(const RecordSet& records, int column);

// Stable sort of rows (indexes into the keys) by the keys in turn, each ascending or descending.
void SortRows(std::vector<int>& rows, const std::vector<std::vector<qint64>>& keys, const std::vector<bool>& descending);
