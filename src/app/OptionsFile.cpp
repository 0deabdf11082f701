#include "app/OptionsFile.h"

#include "platform/IniFile.h"

namespace {

const QString KeyColumnsKey = QStringLiteral("KeyColumns");
const QString CumulativeColumnsKey = QStringLiteral("CumulativeColumns");

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
    IniFile(file).WriteSection(scriptId, values, removed);
}
