#include "connection/ScriptCost.h"

#include "connection/StretchMessage.h"

#include <utility>

ScriptCost::ScriptCost() = default;
ScriptCost::~ScriptCost() = default;

void ScriptCost::ran(qint64 runMs, int setting, Connection& connection, const QStringList& script)
{
    if (!probe_ || script != script_) {
        script_ = script;
        probe_ = std::make_unique<ScriptCostProbe>(script.join(u'\n'));
        stretch_ = {};
    }
    RefreshCost cost;
    cost.durationMs = runMs;
    cost.intervalSeconds = stretch_.interval(setting);
    cost.server = probe_->measure(connection);
    switch (stretch_.ran(runMs, setting)) {
    case IntervalStretch::Change::Stretched:
        news_ = StretchedMessage(setting, stretch_.stretched());
        break;
    case IntervalStretch::Change::Back:
        news_ = StretchEndedMessage(setting);
        break;
    case IntervalStretch::Change::None:
        break;
    }
    cost.stretchedSeconds = stretch_.stretched();
    last_ = cost;
}

QString ScriptCost::takeNews()
{
    return std::exchange(news_, QString());
}
