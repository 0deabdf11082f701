#include "connection/ScriptCostProbe.h"

#include "data/connection/Connection.h"
#include "data/connection/SqlSyntax.h"
#include "data/records/RecordSet.h"
#include "platform/QuillonError.h"

#include <QLoggingCategory>
#include <cmath>
#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcWorker, "quillon.worker")

} // namespace

ServerCost ScriptCostProbe::measure(Connection& connection)
{
    if (state_ == State::Off)
        return {};
    try {
        if (state_ == State::Unknown)
            choose(connection);
        if (state_ == State::Off)
            return {};
        const Totals now = read(connection);
        ServerCost cost;
        if (last_ && state_ == State::Session) {
            cost.cpuMs = std::llround(now.time - last_->time);
            cost.reads = now.reads - last_->reads;
        } else if (last_ && now.calls > last_->calls) {
            // A statement the server has not counted since (evicted, or the counts reset) tells nothing.
            cost.executionMs = std::llround(now.time - last_->time);
            cost.reads = now.reads - last_->reads;
        }
        last_ = now;
        return cost;
    } catch (const QuillonError& error) {
        qCInfo(lcWorker) << "the script's cost is not shown: the server does not tell it:" << error.message();
        state_ = State::Off;
        return {};
    }
}

void ScriptCostProbe::choose(Connection& connection)
{
    state_ = State::Off;
    const SqlDialect dialect = connection.syntax().dialect;
    sql_ = SessionCostSql(dialect);
    if (!sql_.isEmpty()) {
        state_ = State::Session;
        return;
    }
    const QString explain = StatementIdSql(dialect, script_);
    if (explain.isEmpty())
        return;
    const std::unique_ptr<RecordSet> plan = connection.execute(explain, false);
    for (int row = 0; plan && plan->fieldCount() > 0 && row < plan->rowCount(); ++row) {
        if (const std::optional<qint64> id = StatementIdInLine(plan->displayText(row, 0))) {
            sql_ = StatementCostSql(dialect, *id);
            state_ = State::Statement;
            return;
        }
    }
    // The server computes no query identifiers: pg_stat_statements is not loaded.
    qCInfo(lcWorker) << "the script's cost is not shown: the server gives its statement no identifier";
}

ScriptCostProbe::Totals ScriptCostProbe::read(Connection& connection) const
{
    const std::unique_ptr<RecordSet> answer = connection.execute(sql_, true);
    const int columns = state_ == State::Session ? 2 : 3;
    if (!answer || answer->rowCount() != 1 || answer->fieldCount() < columns)
        throw QuillonError(QStringLiteral("an unexpected answer to the cost query"));
    Totals totals;
    totals.time = answer->value(0, 0).toDouble();
    totals.reads = answer->value(0, 1).toLongLong();
    if (columns == 3)
        totals.calls = answer->value(0, 2).toLongLong();
    return totals;
}
