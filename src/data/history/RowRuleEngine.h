#pragma once

#include "data/history/RowRule.h"
#include "data/history/RuleEvent.h"
#include "data/view/FilterExpression.h"
#include "data/view/RowLooks.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <vector>

class RecordSet;

// The worker's side of a script's row rules: for every rule and row key, since when its condition
// holds; which rule's look each row shows (the first in order that applies) and which rules have
// just started to apply. Rows are known by their key cells, or by their position when the script
// has no key columns.
class RowRuleEngine {
public:
    RowRuleEngine(QList<RowRule> rules, QStringList keyColumns);

    struct Outcome {
        RowLooks looks;
        // Rules with notify that started to apply this refresh, past their cool-down.
        QList<RuleEvent> events;
        // Rules skipped for good since the last refresh: their expression does not read or names a
        // column the result lacks. Each is told once.
        QStringList problems;
    };

    bool active() const { return !rules_.empty(); }
    // records as fetched (rates applied); time in milliseconds since the epoch.
    Outcome apply(const RecordSet& records, qint64 time);

private:
    struct Since {
        qint64 time = 0;
        bool applied = false;
    };
    struct Rule {
        RowRule rule;
        RowLook look;
        FilterExpression expression;
        QStringList fields;   // named by the expression, each once
        bool skipped = false;
        QHash<QString, Since> holding;
        QHash<QString, qint64> notified;
    };

    QString keyOf(const RecordSet& records, int row, const std::vector<int>& keyColumns) const;
    // The number of rule's look in looks, added at its first use this refresh.
    std::uint16_t lookNumber(RowLooks& looks, std::size_t rule);
    static QString valuesOf(const RecordSet& records, int row, const QStringList& fields);

    std::vector<Rule> rules_;
    QStringList keyColumns_;
    QStringList pendingProblems_;
    std::vector<std::uint16_t> lookNumbers_;
};
