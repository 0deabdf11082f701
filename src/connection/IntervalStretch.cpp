#include "connection/IntervalStretch.h"

#include <algorithm>

namespace {

constexpr int RunsInARow = 3;
// The interval box's own limit.
constexpr int LongestInterval = 1800;

bool OverHalf(qint64 runMs, int seconds)
{
    return runMs * 2 > qint64(seconds) * 1000;
}

} // namespace

IntervalStretch::Change IntervalStretch::ran(qint64 runMs, int setting)
{
    // A single run has no interval to stretch.
    if (setting <= 0) {
        *this = {};
        return Change::None;
    }
    // A setting the operator raised to the stretch or past it holds.
    if (stretched_ <= setting)
        stretched_ = 0;
    const int current = interval(setting);
    if (OverHalf(runMs, current)) {
        ++slowRuns_;
        slowest_ = std::max(slowest_, runMs);
    } else {
        slowRuns_ = 0;
        slowest_ = 0;
    }
    quickRuns_ = OverHalf(runMs, setting) ? 0 : quickRuns_ + 1;
    if (slowRuns_ >= RunsInARow) {
        const int to = static_cast<int>(std::min<qint64>((slowest_ * 2 + 999) / 1000, LongestInterval));
        slowRuns_ = 0;
        slowest_ = 0;
        if (to <= current)
            return Change::None;
        stretched_ = to;
        return Change::Stretched;
    }
    if (stretched_ > 0 && quickRuns_ >= RunsInARow) {
        stretched_ = 0;
        quickRuns_ = 0;
        return Change::Back;
    }
    return Change::None;
}

int IntervalStretch::interval(int setting) const
{
    return setting > 0 ? std::max(setting, stretched_) : setting;
}
