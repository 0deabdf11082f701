#include "catalogue/MenuFile.h"

#include "platform/Collation.h"
#include "platform/QuillonError.h"
#include "platform/TextCodec.h"

#include <QHash>
#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcMenu, "quillon.menu")

namespace {

const QString MissingKeyId = QStringLiteral("Пустой описатель");

// One item with the text it sorts by: its stored value, or the stand-in's for key k.
struct SortedItem {
    QString text;
    std::unique_ptr<TSubScript> item;
};

SortedItem StandIn(int k)
{
    auto item = std::make_unique<TSubScript>();
    item->Name = QStringLiteral("Error %1").arg(k);
    item->Id = MissingKeyId;
    return {QStringLiteral("Error %1;%2;;;").arg(k).arg(MissingKeyId), std::move(item)};
}

// Throws ConvertError when the fifth field is not a whole number.
std::unique_ptr<TSubScript> Parse(const QString& value, const QString& delimiter)
{
    auto item = std::make_unique<TSubScript>();
    QString field;
    QString rest = value;
    SplitField(rest, delimiter, field, rest);
    item->Name = TrimField(field);
    SplitField(rest, delimiter, field, rest);
    item->Id = TrimField(field);
    SplitField(rest, delimiter, field, rest);
    item->ScriptFile = TrimField(field);
    SplitField(rest, delimiter, field, rest);
    item->IdField = TrimField(field);
    item->ShowResult = StrToInt(rest);
    return item;
}

} // namespace

MenuFile::MenuFile(QString path, QString delimiter) : path_(std::move(path)), delimiter_(std::move(delimiter)) {}

SubScriptList MenuFile::Read(const QString& id, int maxKeys) const
{
    const QList<IniValue> stored = IniFile(path_).ReadSectionValues(id);
    const int count = static_cast<int>(std::min<qsizetype>(stored.size(), std::max(maxKeys, 0)));
    // Only names of digits are looked up, and digits have no letter case.
    QHash<QString, QString> byKey;
    for (const IniValue& value : stored)
        byKey.insert(value.key, value.value);

    std::vector<SortedItem> sorted;
    sorted.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const auto found = byKey.constFind(QString::number(k));
        if (found == byKey.cend()) {
            sorted.push_back(StandIn(k));
            continue;
        }
        // One value that does not read must not take the whole menu with it.
        try {
            sorted.push_back({*found, Parse(*found, delimiter_)});
        } catch (const ConvertError& error) {
            qCWarning(lcMenu, "%s, section [%s], key %d: %s", qUtf8Printable(path_), qUtf8Printable(id), k,
                      qUtf8Printable(error.message()));
            sorted.push_back(StandIn(k));
        }
    }
    std::stable_sort(sorted.begin(), sorted.end(), [less = TextLocaleLess()](const SortedItem& a, const SortedItem& b) {
        return less(a.text, b.text);
    });

    SubScriptList items;
    items.reserve(sorted.size());
    for (SortedItem& entry : sorted)
        items.push_back(std::move(entry.item));
    return items;
}

QString MenuFile::Value(const TSubScript& item) const
{
    const QString flag = (item.ShowResult & 0xFF) != 0 ? QStringLiteral("1") : QStringLiteral("0");
    return QStringList{item.Name, item.Id, item.ScriptFile, item.IdField, flag}.join(delimiter_);
}

qsizetype MenuFile::StoredLength(const TSubScript& item) const
{
    // One byte of the code page per character read back, whatever the text held before.
    return ToCp1251(Value(item)).size();
}

void MenuFile::Write(const QString& id, const SubScriptList& items, int formerCount)
{
    QList<IniValue> values;
    values.reserve(static_cast<qsizetype>(items.size()));
    for (std::size_t k = 0; k < items.size(); ++k)
        values.append({QString::number(k), Value(*items[k])});
    QStringList removed;
    for (int k = static_cast<int>(items.size()); k < formerCount; ++k)
        removed.append(QString::number(k));
    IniFile(path_).WriteSection(id, values, removed);
}

QStringList MenuFile::ScriptFiles() const
{
    QStringList files;
    for (const IniValue& stored : IniFile(path_).ReadAllValues()) {
        QString field;
        QString rest = stored.value;
        for (int skipped = 0; skipped < 3; ++skipped)
            SplitField(rest, delimiter_, field, rest);
        files.append(TrimField(field));
    }
    return files;
}
