#pragma once

#include "connection/IntervalStretch.h"
#include "connection/RefreshCost.h"
#include "connection/ScriptCostProbe.h"

#include <QString>
#include <QStringList>
#include <memory>

class Connection;

// What each run of a window's script costs the server, kept by the worker: the run's duration, the
// server's own counts, and the worker's interval, stretched while the runs are slow.
class ScriptCost {
public:
    ScriptCost();
    ~ScriptCost();

    // A run of script took runMs on connection, with the operator's interval setting in seconds:
    // asks the server for its counts. A script other than the last one starts everything afresh.
    void ran(qint64 runMs, int setting, Connection& connection, const QStringList& script);
    // The interval to wait for the next run, in seconds.
    int interval(int setting) const { return stretch_.interval(setting); }
    const RefreshCost& last() const { return last_; }
    // What the message field is to tell of the interval, once; empty when it has not changed.
    QString takeNews();

private:
    IntervalStretch stretch_;
    QStringList script_;
    std::unique_ptr<ScriptCostProbe> probe_;
    RefreshCost last_;
    QString news_;
};
