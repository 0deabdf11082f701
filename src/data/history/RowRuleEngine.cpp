#include "data/history/RowRuleEngine.h"

#include "data/DataErrors.h"
#include "data/history/RowKeys.h"
#include "data/records/RecordSet.h"
#include "data/view/RowFilter.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QString NoCondition = QStringLiteral("условие не задано");

QString ProblemText(const QString& rule, const QString& error)
{
    return QStringLiteral("Правило «%1» пропущено: %2").arg(rule, error);
}

RowLook LookOf(const RowRule& rule)
{
    RowLook look;
    look.bold = rule.bold;
    look.icon = rule.icon;
    // "#rrggbb"; anything else leaves the grid's own background.
    bool read = false;
    const uint rgb = rule.background.mid(1).toUInt(&read, 16);
    if (rule.background.size() == 7 && rule.background.startsWith(QLatin1Char('#')) && read)
        look.background = 0xff000000u | rgb;
    return look;
}

} // namespace

RowRuleEngine::RowRuleEngine(QList<RowRule> rules, QStringList keyColumns) : keyColumns_(std::move(keyColumns))
{
    // The grid keeps a look's number in 16 bits.
    const qsizetype kept = std::min<qsizetype>(rules.size(), std::numeric_limits<std::uint16_t>::max());
    rules_.reserve(std::size_t(kept));
    for (qsizetype i = 0; i < kept; ++i) {
        Rule rule;
        rule.rule = rules[i];
        rule.look = LookOf(rule.rule);
        try {
            rule.expression = ParseFilterExpression(rule.rule.expression);
        } catch (const DataError& error) {
            rule.skipped = true;
            pendingProblems_.append(ProblemText(rule.rule.name, error.message()));
        }
        // An empty condition would hold for every row: a rule typed without one colours nothing.
        if (!rule.skipped && rule.expression.isEmpty()) {
            rule.skipped = true;
            pendingProblems_.append(ProblemText(rule.rule.name, NoCondition));
        }
        for (const QList<FilterCondition>& group : rule.expression.groups) {
            for (const FilterCondition& condition : group) {
                if (!rule.fields.contains(condition.field, Qt::CaseInsensitive))
                    rule.fields.append(condition.field);
            }
        }
        rules_.push_back(std::move(rule));
    }
}

QString RowRuleEngine::keyOf(const RecordSet& records, int row, const std::vector<int>& keyColumns) const
{
    if (keyColumns.empty())
        return QString::number(row);
    TextScratch scratch;
    KeyText key;
    AppendRowKey(records, row, keyColumns, scratch, key);
    return QString(reinterpret_cast<const QChar*>(key.data()), key.size());
}

QString RowRuleEngine::valuesOf(const RecordSet& records, int row, const QStringList& fields)
{
    QStringList values;
    for (const QString& field : fields) {
        const int column = FieldIndexIn(records, field);
        values.append(QStringLiteral("%1 = %2").arg(field, column < 0 ? QString() : records.displayText(row, column)));
    }
    return values.join(QStringLiteral("; "));
}

std::uint16_t RowRuleEngine::lookNumber(RowLooks& looks, std::size_t rule)
{
    if (lookNumbers_.size() != rules_.size())
        lookNumbers_.assign(rules_.size(), 0);
    std::uint16_t& number = lookNumbers_[rule];
    if (number == 0) {
        looks.looks.push_back(rules_[rule].look);
        number = std::uint16_t(looks.looks.size());
    }
    return number;
}

RowRuleEngine::Outcome RowRuleEngine::apply(const RecordSet& records, qint64 time)
{
    Outcome outcome;
    outcome.problems = std::exchange(pendingProblems_, {});
    lookNumbers_.assign(rules_.size(), 0);
    // A key column the result lacks leaves the rows known by their position, as the marks do.
    std::vector<int> keyColumns;
    for (const QString& name : keyColumns_) {
        const int column = FieldIndexIn(records, name);
        if (column < 0) {
            keyColumns.clear();
            break;
        }
        keyColumns.push_back(column);
    }
    const int rowCount = records.rowCount();
    // Keys are made only for the rows some condition holds for, each once.
    std::vector<QString> keys(static_cast<std::size_t>(rowCount));
    std::vector<char> keyed(static_cast<std::size_t>(rowCount), 0);
    const auto keyAt = [&](int row) -> const QString& {
        if (!keyed[std::size_t(row)]) {
            keys[std::size_t(row)] = keyOf(records, row, keyColumns);
            keyed[std::size_t(row)] = 1;
        }
        return keys[std::size_t(row)];
    };

    for (std::size_t index = 0; index < rules_.size(); ++index) {
        Rule& rule = rules_[index];
        if (rule.skipped)
            continue;
        std::optional<RowFilter> filter;
        try {
            filter.emplace(rule.expression, records, QStringLiteral("Query"));
        } catch (const DataError& error) {
            rule.skipped = true;
            rule.holding.clear();
            outcome.problems.append(ProblemText(rule.rule.name, error.message()));
            continue;
        }
        const qint64 hold = qint64(rule.rule.holdSeconds) * 1000;
        const qint64 coolDown = qint64(rule.rule.coolDownSeconds) * 1000;
        QHash<QString, Since> holding;
        for (int row = 0; row < rowCount; ++row) {
            if (!filter->matches(row))
                continue;
            const QString& key = keyAt(row);
            Since since = rule.holding.value(key, Since{time, false});
            const bool applies = time - since.time >= hold;
            if (applies && !since.applied && rule.rule.notify) {
                const auto last = rule.notified.constFind(key);
                if (last == rule.notified.cend() || time - *last >= coolDown) {
                    rule.notified.insert(key, time);
                    QStringList keyTexts;
                    for (const int column : keyColumns)
                        keyTexts.append(records.displayText(row, column));
                    outcome.events.append(RuleEvent{time, rule.rule.name,
                                                    keyColumns.empty() ? QStringLiteral("строка %1").arg(row + 1)
                                                                       : keyTexts.join(QStringLiteral(", ")),
                                                    valuesOf(records, row, rule.fields)});
                }
            }
            since.applied = since.applied || applies;
            holding.insert(key, since);
            if (!applies)
                continue;
            if (outcome.looks.rows.empty())
                outcome.looks.rows.assign(std::size_t(rowCount), 0);
            std::uint16_t& look = outcome.looks.rows[std::size_t(row)];
            if (look == 0)
                look = lookNumber(outcome.looks, index);
        }
        rule.holding = std::move(holding);
        // Notifications older than the cool-down stop nothing: forget them.
        for (auto it = rule.notified.begin(); it != rule.notified.end();)
            it = time - *it >= coolDown ? rule.notified.erase(it) : std::next(it);
    }
    return outcome;
}
