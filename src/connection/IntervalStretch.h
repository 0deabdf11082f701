#pragma once

#include <QtGlobal>

// The worker's own interval: once a script's runs take more than half of the interval three times in
// a row, twice the slowest of them, in whole seconds, so that a monitor does not keep its server
// busy; the operator's setting again after three runs within half of it. Never below the setting.
class IntervalStretch {
public:
    enum class Change { None, Stretched, Back };

    // A run took runMs while the operator's interval was setting seconds.
    Change ran(qint64 runMs, int setting);
    // The interval to wait, in seconds.
    int interval(int setting) const;
    // The stretched interval, 0 while the setting holds.
    int stretched() const { return stretched_; }

private:
    int stretched_ = 0;
    int slowRuns_ = 0;
    qint64 slowest_ = 0;
    int quickRuns_ = 0;
};
