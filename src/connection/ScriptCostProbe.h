#pragma once

#include "connection/RefreshCost.h"

#include <QString>
#include <optional>

class Connection;

// Asks the server, after each run of a script on the worker's connection, what the run cost it: on
// SQL Server the worker's own session (one small query), on PostgreSQL the script's statement in
// pg_stat_statements where that is loaded. A probe that fails (no permission, no view, a script it
// cannot match) is off for the script from then on: the refresh never fails for it.
class ScriptCostProbe {
public:
    explicit ScriptCostProbe(QString script) : script_(std::move(script)) {}

    // After a run: the server's counts since the run before; nothing at the first run and where the
    // server cannot tell.
    ServerCost measure(Connection& connection);
    bool off() const { return state_ == State::Off; }

private:
    enum class State { Unknown, Session, Statement, Off };
    struct Totals {
        double time = 0;
        qint64 reads = 0;
        qint64 calls = 0;
    };

    // Which query the server answers; the state says which kind, or Off.
    void choose(Connection& connection);
    Totals read(Connection& connection) const;

    const QString script_;
    State state_ = State::Unknown;
    QString sql_;
    std::optional<Totals> last_;
};
