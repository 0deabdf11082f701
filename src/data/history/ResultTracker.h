#pragma once

#include "data/history/HistoryFrame.h"
#include "data/history/ResultComparer.h"
#include "data/view/RowMarks.h"

#include <QStringList>
#include <memory>

class RecordSet;

// The worker's side of history and change marking: compares each refresh with the one before it
// (a copy of which it keeps), encodes it as a history frame against that one, and marks it against
// that one or against a result the operator pinned.
class ResultTracker {
public:
    // A keyframe at least every keyframeEvery frames, so that decoding any frame reads a bounded
    // number of deltas.
    explicit ResultTracker(QStringList keyColumns, int keyframeEvery = 30);
    ~ResultTracker();

    struct Refresh {
        // The rows as fetched, then, when marking, the vanished rows appended.
        std::unique_ptr<RecordSet> records;
        RowMarks marks;
        HistoryFrame frame;
        // Key column names the result lacks: it was matched by position.
        QStringList missingKeyColumns;
    };

    // records as fetched (rates applied), time in milliseconds since the epoch. baseline: the
    // result to mark against instead of the refresh before, or null. keyframe: encode this refresh
    // whole (a recording has just begun). mark: compute the marks and append the vanished rows.
    Refresh track(std::unique_ptr<RecordSet> records, qint64 time, const RecordSet* baseline, bool keyframe,
                  bool mark);

    // Bytes kept of the last refresh for the next, for the benchmark's figures.
    qint64 bytesKept() const;

private:
    QStringList keyColumns_;
    int keyframeEvery_;
    // The refresh before as fetched, without vanished rows: what the next frame is a delta against.
    std::unique_ptr<RecordSet> previous_;
    int sinceKeyframe_ = 0;
    ResultComparer comparer_;
};
