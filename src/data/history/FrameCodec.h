#pragma once

#include "data/history/HistoryFrame.h"

#include <memory>
#include <vector>

class RecordSet;

// Whether records can be a delta against before: the fields alike in all that a frame keeps of them
// (a delta keeps none of its own).
bool DeltaFits(const RecordSet& records, const RecordSet& before);

// A delta's rows: per row of the new result, the row of the frame before it that it continues
// (its unchanged cells are taken from there), or -1 for a row stored whole. Records that do not fit a
// delta against before are encoded as a keyframe.
HistoryFrame EncodeKeyframe(const RecordSet& records, qint64 time);
HistoryFrame EncodeDelta(const RecordSet& records, const RecordSet& before, const std::vector<int>& beforeRows,
                         qint64 time);

// The result a frame holds; before is the result of the frame before it, needed by a delta.
// Throws DataError on data that is not a frame this codec wrote, or a delta without its frame before.
std::unique_ptr<RecordSet> DecodeFrame(const HistoryFrame& frame, const RecordSet* before);
// The same, decoded into room, a result no longer needed, whose columns' room it reuses and keeps
// (not squeezed): decoding frame after frame then faults in no fresh pages.
std::unique_ptr<RecordSet> DecodeFrame(const HistoryFrame& frame, const RecordSet* before,
                                       std::unique_ptr<RecordSet> room);
