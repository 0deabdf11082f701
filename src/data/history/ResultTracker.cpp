#include "data/history/ResultTracker.h"

#include "data/history/FrameCodec.h"
#include "data/history/ResultChanges.h"
#include "data/records/RecordSet.h"

#include <algorithm>
#include <utility>

namespace {

// A keyframe also once the next delta would have showing it decode more rows than this, the
// keyframe's and every delta's since: a large result's refreshes are shown about as quickly as a
// small one's, for keyframes a few times more often. Yet never more often than every few frames,
// which a huge result's memory would not afford.
constexpr qint64 RowsDecodedAtMost = 100'000;
constexpr int ShortestGroup = 4;

// The first rows of records, those fetched, for the next refresh to be compared with: in the room
// of the refresh before, done with by now, where a copy of its own would fault in fresh pages.
std::unique_ptr<RecordSet> Kept(const RecordSet& records, int rows, std::unique_ptr<RecordSet> room)
{
    QList<FieldInfo> fields;
    for (int c = 0; c < records.fieldCount(); ++c)
        fields.append(records.field(c));
    if (room)
        room->reset(std::move(fields));
    else
        room = std::make_unique<RecordSet>(std::move(fields));
    for (int c = 0; c < records.fieldCount(); ++c)
        room->column(c).appendCells(records.column(c), 0, rows);
    return room;
}

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
    const qint64 group = std::max<qint64>(RowsDecodedAtMost / std::max(records->rowCount(), 1), ShortestGroup);
    const bool delta = previous_ && !keyframe && sinceKeyframe_ + 1 < std::min<qint64>(keyframeEvery_, group)
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
    std::unique_ptr<RecordSet> before = std::move(previous_);
    const int fetched = records->rowCount();

    const RecordSet* against = baseline ? baseline : before.get();
    if (mark && against) {
        if (baseline)
            changes = comparer_.compare(*baseline, *records, keyColumns_);
        records = WithVanishedRows(std::move(records), *against, changes);
        refresh.marks = std::move(changes.marks);
    }
    if (compared || (mark && against))
        refresh.missingKeyColumns = changes.missingKeyColumns;
    previous_ = Kept(*records, fetched, std::move(before));
    refresh.records = std::move(records);
    return refresh;
}

qint64 ResultTracker::bytesKept() const
{
    return previous_ ? qint64(previous_->bytesUsed()) : 0;
}
