#pragma once

#include "data/history/HistoryFrame.h"

#include <deque>
#include <memory>

class RecordSet;

// A window's recent results, oldest first, as frames: a keyframe and the deltas after it form a
// group, and whole groups are dropped from the front once they are older than the age limit or the
// frames' bytes pass the byte limit (the newest group always stays). Decoding a frame reads its
// group from the keyframe on; the last result decoded is kept, so that stepping forward one frame
// decodes only that frame.
class ResultHistory {
public:
    ResultHistory(qint64 maxAgeMilliseconds, qint64 maxBytes);
    ~ResultHistory();

    void setLimits(qint64 maxAgeMilliseconds, qint64 maxBytes);
    // The first frame, and every frame after a group was dropped, must be a keyframe: a delta that
    // starts a history is refused (false) and not kept.
    bool append(HistoryFrame frame);
    void clear();

    int size() const { return int(frames_.size()); }
    // How many frames were dropped from the front since the history began: frame index is the
    // refresh numbered firstSerial() + index, which lets a window keep its place as frames go.
    qint64 firstSerial() const { return firstSerial_; }
    const HistoryFrame& frame(int index) const { return frames_[std::size_t(index)]; }
    qint64 time(int index) const { return frame(index).time; }
    // The bytes of the frames held, plus what the decoded results kept cost.
    qint64 bytesUsed() const;

    // The result of frame index. Throws DataError when a frame cannot be decoded.
    std::unique_ptr<RecordSet> snapshot(int index);

private:
    std::deque<HistoryFrame> frames_;
    qint64 firstSerial_ = 0;
    // Drops the oldest groups the limits no longer allow.
    void trim();
    void dropFirstGroup();

    qint64 maxAge_;
    qint64 maxBytes_;
    qint64 frameBytes_ = 0;
    // The result of the refresh numbered decodedSerial_, the last one decoded; -1 for none.
    std::unique_ptr<RecordSet> decoded_;
    qint64 decodedSerial_ = -1;
    // The result decoded before decoded_, whose room the next frame is decoded into: two results
    // in turn, rather than fresh pages for every frame of a chain.
    std::unique_ptr<RecordSet> spare_;
};
