#include "data/history/ResultTracker.h"

#include "data/history/FrameCodec.h"
#include "data/history/ResultChanges.h"
#include "data/records/RecordSet.h"

#include <algorithm>
#include <utility>

namespace {

// A keyframe also once the next delta would have showing it decode more rows than this, the
// keyframe's and every delta's since: a large result's refreshes are shown as quickly as a small
// one's, for keyframes a few times more often.
constexpr qint64 RowsDecodedAtMost = 100'000;

} // namespace

ResultTracker::ResultTracker(QStringList keyColumns, int keyframeEvery)
    : keyColumns_(std::move(keyColumns)), keyframeEvery_(std::max(keyframeEvery, 1))
{
}

ResultTracker::~ResultTracker() = default;

ResultTracker::Refresh ResultTracker::track(std::unique_ptr<RecordSet> records, qint64 time, const RecordSet* baseline,
                                            bool keyframe, bool mark)
{
    Refresh refresh;
    const bool delta = previous_ && !keyframe && sinceKeyframe_ + 1 < keyframeEvery_
        && qint64(sinceKeyframe_ + 2) * std::max(records->rowCount(), 1) <= RowsDecodedAtMost
        && DeltaFits(*records, *previous_);
    // One comparison with the refresh before serves both the delta and the marks.
    ResultChanges changes;
    const bool compared = previous_ && (delta || (mark && !baseline));
    if (compared)
        changes = comparer_.compare(*previous_, *records, keyColumns_);
    if (delta) {
        refresh.frame = EncodeDelta(*records, *previous_, changes.before, time);
        ++sinceKeyframe_;
    } else {
        refresh.frame = EncodeKeyframe(*records, time);
        sinceKeyframe_ = 0;
    }
    const std::unique_ptr<RecordSet> before = std::exchange(previous_, records->clone());

    const RecordSet* against = baseline ? baseline : before.get();
    if (mark && against) {
        if (baseline)
            changes = comparer_.compare(*baseline, *records, keyColumns_);
        records = WithVanishedRows(std::move(records), *against, changes);
        refresh.marks = std::move(changes.marks);
    }
    if (compared || (mark && against))
        refresh.missingKeyColumns = changes.missingKeyColumns;
    refresh.records = std::move(records);
    return refresh;
}

qint64 ResultTracker::bytesKept() const
{
    return previous_ ? qint64(previous_->bytesUsed()) : 0;
}
