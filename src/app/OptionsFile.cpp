#include "app/OptionsFile.h"

#include "platform/IniFile.h"

namespace {

const QString KeyColumnsKey = QStringLiteral("KeyColumns");
const QString CumulativeColumnsKey = QStringLiteral("CumulativeColumns");
const QString HistoryMinutesKey = QStringLiteral("HistoryMinutes");
const QString HistoryMegabytesKey = QStringLiteral("HistoryMegabytes");

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

ScriptOptions ReadScriptOptions(const QString& file, const QString& scriptId)
{
    const IniFile ini(file);
    ScriptOptions options;
    for (const IniValue& value : ini.ReadSectionValues(scriptId)) {
        if (value.key.compare(KeyColumnsKey, Qt::CaseInsensitive) == 0)
            options.keyColumns = ParseColumnList(value.value);
        else if (value.key.compare(CumulativeColumnsKey, Qt::CaseInsensitive) == 0)
            options.cumulativeColumns = ParseColumnList(value.value);
        else if (value.key.compare(HistoryMinutesKey, Qt::CaseInsensitive) == 0)
            options.historyMinutes = ReadLimit(value.value);
        else if (value.key.compare(HistoryMegabytesKey, Qt::CaseInsensitive) == 0)
            options.historyMegabytes = ReadLimit(value.value);
    }
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
    IniFile(file).WriteSection(scriptId, values, removed);
}
