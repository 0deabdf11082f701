#include "catalogue/MenuFile.h"

#include "platform/Collation.h"
#include "platform/IniFile.h"
#include "platform/QuillonError.h"

#include <algorithm>

namespace {

const QString MissingKeyId = QStringLiteral("Пустой описатель");

// One stored value, or the stand-in for key k when the key is absent.
struct StoredValue {
    QString text;
    int missingKey = -1;
};

} // namespace

MenuFile::MenuFile(QString path, QString delimiter) : path_(std::move(path)), delimiter_(std::move(delimiter)) {}

SubScriptList MenuFile::Read(const QString& id, int maxKeys) const
{
    const IniFile file(path_);
    const QStringList keys = file.ReadSection(id);
    const int count = static_cast<int>(std::min<qsizetype>(keys.size(), std::max(maxKeys, 0)));

    std::vector<StoredValue> values;
    values.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const QString key = QString::number(k);
        if (keys.contains(key, Qt::CaseInsensitive))
            values.push_back({file.ReadString(id, key, QString()), -1});
        else
            values.push_back({QStringLiteral("Error %1;%2;;;").arg(k).arg(MissingKeyId), k});
    }
    std::stable_sort(values.begin(), values.end(), [](const StoredValue& a, const StoredValue& b) {
        return CompareTextLocale(a.text, b.text) < 0;
    });

    SubScriptList items;
    items.reserve(values.size());
    for (const StoredValue& value : values) {
        auto item = std::make_unique<TSubScript>();
        if (value.missingKey >= 0) {
            item->Name = QStringLiteral("Error %1").arg(value.missingKey);
            item->Id = MissingKeyId;
        } else {
            QString field;
            QString rest = value.text;
            SplitField(rest, delimiter_, field, rest);
            item->Name = TrimField(field);
            SplitField(rest, delimiter_, field, rest);
            item->Id = TrimField(field);
            SplitField(rest, delimiter_, field, rest);
            item->ScriptFile = TrimField(field);
            SplitField(rest, delimiter_, field, rest);
            item->IdField = TrimField(field);
            item->ShowResult = StrToInt(rest);
        }
        items.push_back(std::move(item));
    }
    return items;
}

void MenuFile::Write(const QString& id, const SubScriptList& items)
{
    IniFile file(path_);
    for (std::size_t k = 0; k < items.size(); ++k) {
        const TSubScript& item = *items[k];
        const QString flag = (item.ShowResult & 0xFF) != 0 ? QStringLiteral("1") : QStringLiteral("0");
        const QStringList fields{item.Name, item.Id, item.ScriptFile, item.IdField, flag};
        file.WriteString(id, QString::number(k), fields.join(delimiter_));
    }
}

void MenuFile::RemoveKeys(const QString& id, int count)
{
    IniFile file(path_);
    for (int k = 0; k < count; ++k)
        file.DeleteKey(id, QString::number(k));
}

QStringList MenuFile::ScriptFiles() const
{
    const IniFile file(path_);
    QStringList files;
    for (const QString& section : file.ReadSections()) {
        for (const QString& key : file.ReadSection(section)) {
            QString field;
            QString rest = file.ReadString(section, key, QString());
            for (int skipped = 0; skipped < 3; ++skipped)
                SplitField(rest, delimiter_, field, rest);
            files.append(TrimField(field));
        }
    }
    return files;
}
