#include "app/OptionsFile.h"

#include "platform/IniFile.h"

#include <QMap>
#include <QRegularExpression>

namespace {

const QString KeyColumnsKey = QStringLiteral("KeyColumns");
const QString CumulativeColumnsKey = QStringLiteral("CumulativeColumns");
const QString HistoryMinutesKey = QStringLiteral("HistoryMinutes");
const QString HistoryMegabytesKey = QStringLiteral("HistoryMegabytes");
const QString RuleKeyPrefix = QStringLiteral("Rule");
const QString BlockedByColumnKey = QStringLiteral("BlockedByColumn");
const QString WaitColumnKey = QStringLiteral("WaitColumn");
const QString DangerousCommandsKey = QStringLiteral("DangerousCommands");
const QString CheckScriptKey = QStringLiteral("CheckScript");

const QString WhenTag = QStringLiteral("when=");

// "Rule" followed by a positive number: the number, else 0.
int RuleNumber(const QString& key)
{
    if (!key.startsWith(RuleKeyPrefix, Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int number = key.mid(RuleKeyPrefix.size()).toInt(&ok);
    return ok && number > 0 ? number : 0;
}

int ReadSeconds(const QString& text, int def)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 0 ? value : def;
}

// A limit typed by hand that is no positive whole number counts as not given: the default holds.
int ReadLimit(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value > 0 ? value : 0;
}

} // namespace

QStringList ParseColumnList(const QString& text)
{
    QStringList columns;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            columns << name;
    }
    return columns;
}

RowRule ParseRowRule(const QString& text)
{
    RowRule rule;
    // Blanks around the tag as around the other tags: "; when = [x] > 0".
    static const QRegularExpression whenTag(QStringLiteral(";\\s*when\\s*="), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = whenTag.match(text);
    const qsizetype when = match.hasMatch() ? match.capturedStart() : -1;
    if (when >= 0)
        rule.expression = text.mid(match.capturedEnd()).trimmed();
    const QStringList fields = text.left(when >= 0 ? when : text.size()).split(QLatin1Char(';'));
    rule.name = fields.first().trimmed();
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QString field = fields[i].trimmed();
        const qsizetype equals = field.indexOf(QLatin1Char('='));
        const QString tag = (equals >= 0 ? field.left(equals) : field).trimmed().toLower();
        const QString value = equals >= 0 ? field.mid(equals + 1).trimmed() : QString();
        if (tag == QLatin1String("hold"))
            rule.holdSeconds = ReadSeconds(value, 0);
        else if (tag == QLatin1String("color"))
            rule.background = value;
        else if (tag == QLatin1String("bold"))
            rule.bold = true;
        else if (tag == QLatin1String("icon"))
            rule.icon = ReadSeconds(value, -1);
        else if (tag == QLatin1String("notify"))
            rule.notify = true;
        else if (tag == QLatin1String("cooldown"))
            rule.coolDownSeconds = ReadSeconds(value, RowRule::DefaultCoolDownSeconds);
    }
    return rule;
}

QString RowRuleText(const RowRule& rule)
{
    QStringList fields{rule.name};
    if (rule.holdSeconds > 0)
        fields << QStringLiteral("hold=%1").arg(rule.holdSeconds);
    if (!rule.background.isEmpty())
        fields << QStringLiteral("color=") + rule.background;
    if (rule.bold)
        fields << QStringLiteral("bold");
    if (rule.icon >= 0)
        fields << QStringLiteral("icon=%1").arg(rule.icon);
    if (rule.notify)
        fields << QStringLiteral("notify");
    if (rule.coolDownSeconds != RowRule::DefaultCoolDownSeconds)
        fields << QStringLiteral("cooldown=%1").arg(rule.coolDownSeconds);
    fields << WhenTag + rule.expression;
    return fields.join(QLatin1Char(';'));
}

ScriptOptions ReadScriptOptions(const QString& file, const QString& scriptId)
{
    const IniFile ini(file);
    ScriptOptions options;
    QMap<int, RowRule> rules;
    for (const IniValue& value : ini.ReadSectionValues(scriptId)) {
        if (value.key.compare(KeyColumnsKey, Qt::CaseInsensitive) == 0)
            options.keyColumns = ParseColumnList(value.value);
        else if (value.key.compare(CumulativeColumnsKey, Qt::CaseInsensitive) == 0)
            options.cumulativeColumns = ParseColumnList(value.value);
        else if (value.key.compare(HistoryMinutesKey, Qt::CaseInsensitive) == 0)
            options.historyMinutes = ReadLimit(value.value);
        else if (value.key.compare(HistoryMegabytesKey, Qt::CaseInsensitive) == 0)
            options.historyMegabytes = ReadLimit(value.value);
        else if (value.key.compare(BlockedByColumnKey, Qt::CaseInsensitive) == 0)
            options.blockedByColumn = value.value.trimmed();
        else if (value.key.compare(WaitColumnKey, Qt::CaseInsensitive) == 0)
            options.waitColumn = value.value.trimmed();
        else if (value.key.compare(DangerousCommandsKey, Qt::CaseInsensitive) == 0)
            options.dangerousCommands = ParseColumnList(value.value);
        else if (value.key.compare(CheckScriptKey, Qt::CaseInsensitive) == 0)
            options.checkScript = value.value.trimmed();
        else if (const int number = RuleNumber(value.key); number > 0 && !value.value.trimmed().isEmpty())
            rules.insert(number, ParseRowRule(value.value));
    }
    options.rules = rules.values();
    return options;
}

void WriteScriptOptions(const QString& file, const QString& scriptId, const ScriptOptions& options)
{
    QList<IniValue> values;
    QStringList removed;
    const auto put = [&](const QString& key, const QStringList& columns) {
        if (columns.isEmpty())
            removed << key;
        else
            values.append({key, columns.join(QLatin1Char(','))});
    };
    put(KeyColumnsKey, options.keyColumns);
    put(CumulativeColumnsKey, options.cumulativeColumns);
    const auto putLimit = [&](const QString& key, int limit) {
        if (limit > 0)
            values.append({key, QString::number(limit)});
        else
            removed << key;
    };
    putLimit(HistoryMinutesKey, options.historyMinutes);
    putLimit(HistoryMegabytesKey, options.historyMegabytes);
    const auto putText = [&](const QString& key, const QString& text) {
        if (text.isEmpty())
            removed << key;
        else
            values.append({key, text});
    };
    putText(BlockedByColumnKey, options.blockedByColumn);
    putText(WaitColumnKey, options.waitColumn);
    put(DangerousCommandsKey, options.dangerousCommands);
    putText(CheckScriptKey, options.checkScript);
    IniFile ini(file);
    // The rules are renumbered from 1, and a rule key left over from a longer list goes. A rule the
    // file holds already under its number keeps the text it was typed with.
    QMap<int, QString> typed;
    for (const IniValue& value : ini.ReadSectionValues(scriptId)) {
        if (const int number = RuleNumber(value.key); number > options.rules.size())
            removed << value.key;
        else if (number > 0)
            typed.insert(number, value.value);
    }
    for (qsizetype i = 0; i < options.rules.size(); ++i) {
        const int number = int(i) + 1;
        const RowRule& rule = options.rules[i];
        if (!typed.contains(number) || ParseRowRule(typed[number]) != rule)
            values.append({RuleKeyPrefix + QString::number(number), RowRuleText(rule)});
    }
    ini.WriteSection(scriptId, values, removed);
}
