#include "platform/IniDocument.h"

#include "platform/TextCodec.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// Callers' names are compared as the file would hold them: in the code page, without blanks.
QString StoredName(const QString& name)
{
    return FromCp1251(ToCp1251(name).trimmed());
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QByteArray Unquoted(const QByteArray& value)
{
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
                        && value.back() == value.front();
    return quoted ? value.sliced(1, value.size() - 2) : value;
}

bool HasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

bool Storable(const QString& section, const QString& key, const QString& value)
{
    const QString name = StoredName(key);
    return !HasLineBreak(section) && !HasLineBreak(value) && !HasLineBreak(key) && !name.isEmpty()
           && !name.contains(QLatin1Char('=')) && !name.startsWith(QLatin1Char(';'))
           && !name.startsWith(QLatin1Char('['));
}

} // namespace

IniDocument::IniDocument(const QByteArray& data)
{
    QList<ByteLine> split = SplitByteLines(data);
    lines_.reserve(split.size());
    for (ByteLine& bytes : split)
        lines_.append(Parse(std::move(bytes)));
}

IniDocument::Line IniDocument::Parse(ByteLine bytes)
{
    Line line;
    line.bytes = std::move(bytes);
    const QByteArray& text = line.bytes.text;
    const QByteArray content = text.trimmed();
    if (content.startsWith(';'))
        return line;
    if (content.startsWith('[') && content.contains(']')) {
        line.kind = Kind::Section;
        line.name = FromCp1251(content.sliced(1, content.lastIndexOf(']') - 1).trimmed());
        return line;
    }
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return line;
    line.name = FromCp1251(text.first(equals).trimmed());
    if (!line.name.isEmpty()) {
        line.kind = Kind::Key;
        line.valueStart = equals + 1;
    }
    return line;
}

bool IniDocument::HasSection(const QString& section) const
{
    return FindSection(section).has_value();
}

QStringList IniDocument::Sections() const
{
    QStringList sections;
    QSet<QString> seen;
    for (const Line& line : lines_) {
        if (line.kind != Kind::Section)
            continue;
        const qsizetype before = seen.size();
        seen.insert(line.name.toCaseFolded());
        if (seen.size() != before)
            sections.append(line.name);
    }
    return sections;
}

std::optional<QString> IniDocument::Value(const QString& section, const QString& key) const
{
    const auto header = FindSection(section);
    if (!header)
        return std::nullopt;
    const auto found = FindKey(*header, key);
    if (!found)
        return std::nullopt;
    return LineValue(lines_[*found]);
}

QString IniDocument::LineValue(const Line& line)
{
    return FromCp1251(Unquoted(line.bytes.text.sliced(line.valueStart).trimmed()));
}

QList<qsizetype> IniDocument::KeyLines(qsizetype header) const
{
    QList<qsizetype> found;
    // Names folded the way SameName compares them, so that a large section takes linear time.
    QSet<QString> seen;
    const qsizetype end = SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (lines_[i].kind != Kind::Key)
            continue;
        const qsizetype before = seen.size();
        seen.insert(lines_[i].name.toCaseFolded());
        if (seen.size() != before)
            found.append(i);
    }
    return found;
}

QStringList IniDocument::Keys(const QString& section) const
{
    QStringList keys;
    if (const auto header = FindSection(section)) {
        for (const qsizetype i : KeyLines(*header))
            keys.append(lines_[i].name);
    }
    return keys;
}

QList<IniValue> IniDocument::Values(const QString& section) const
{
    QList<IniValue> values;
    if (const auto header = FindSection(section)) {
        for (const qsizetype i : KeyLines(*header))
            values.append({lines_[i].name, LineValue(lines_[i])});
    }
    return values;
}

bool IniDocument::SetValue(const QString& section, const QString& key, const QString& value)
{
    return SetValues(section, {{key, value}});
}

bool IniDocument::SetValues(const QString& section, const QList<IniValue>& values)
{
    for (const IniValue& value : values) {
        if (!Storable(section, value.key, value.value))
            return false;
    }
    if (values.isEmpty())
        return true;
    auto header = FindSection(section);
    if (!header) {
        Insert(lines_.size(), '[' + ToCp1251(section).trimmed() + ']');
        header = lines_.size() - 1;
    }
    // The first line of each key already there, and where new keys go: after the section's last key.
    QHash<QString, qsizetype> existing;
    qsizetype position = *header + 1;
    for (const qsizetype i : KeyLines(*header))
        existing.insert(lines_[i].name.toCaseFolded(), i);
    const qsizetype end = SectionEnd(*header);
    for (qsizetype i = position; i < end; ++i)
        if (lines_[i].kind == Kind::Key)
            position = i + 1;

    // A key set again keeps the name it has and takes the new value.
    const auto setValue = [](Line& line, const QByteArray& encodedValue) {
        const QByteArray name = line.bytes.text.first(line.valueStart - 1).trimmed();
        line = Parse({name + '=' + encodedValue, QByteArrayLiteral("\r\n")});
    };
    QList<Line> added;
    QHash<QString, qsizetype> addedAt;
    for (const IniValue& value : values) {
        const QByteArray encodedValue = ToCp1251(value.value);
        const QString folded = StoredName(value.key).toCaseFolded();
        if (const auto found = existing.constFind(folded); found != existing.cend()) {
            setValue(lines_[*found], encodedValue);
        } else if (const auto again = addedAt.constFind(folded); again != addedAt.cend()) {
            setValue(added[*again], encodedValue);
        } else {
            addedAt.insert(folded, added.size());
            added.append(Parse({ToCp1251(value.key).trimmed() + '=' + encodedValue, QByteArrayLiteral("\r\n")}));
        }
    }
    if (added.isEmpty())
        return true;
    // One splice, so that many new keys cost one move of the lines after them.
    if (lines_[position - 1].bytes.end.isEmpty())
        lines_[position - 1].bytes.end = QByteArrayLiteral("\r\n");
    QList<Line> result;
    result.reserve(lines_.size() + added.size());
    result.append(lines_.first(position));
    result.append(std::move(added));
    result.append(lines_.sliced(position));
    lines_ = std::move(result);
    return true;
}

bool IniDocument::RemoveKey(const QString& section, const QString& key)
{
    return RemoveKeys(section, {key});
}

bool IniDocument::RemoveKeys(const QString& section, const QStringList& keys)
{
    const auto header = FindSection(section);
    if (!header)
        return false;
    QSet<QString> names;
    for (const QString& key : keys)
        names.insert(StoredName(key).toCaseFolded());
    const auto first = lines_.begin() + *header + 1;
    const auto last = lines_.begin() + SectionEnd(*header);
    const auto kept = std::remove_if(first, last, [&names](const Line& line) {
        return line.kind == Kind::Key && names.contains(line.name.toCaseFolded());
    });
    if (kept == last)
        return false;
    lines_.erase(kept, last);
    return true;
}

QByteArray IniDocument::ToBytes() const
{
    QByteArray data;
    for (const Line& line : lines_)
        data += line.bytes.text + line.bytes.end;
    return data;
}

std::optional<qsizetype> IniDocument::FindSection(const QString& section) const
{
    const QString name = StoredName(section);
    for (qsizetype i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Kind::Section && SameName(lines_[i].name, name))
            return i;
    return std::nullopt;
}

qsizetype IniDocument::SectionEnd(qsizetype header) const
{
    qsizetype end = header + 1;
    while (end < lines_.size() && lines_[end].kind != Kind::Section)
        ++end;
    return end;
}

std::optional<qsizetype> IniDocument::FindKey(qsizetype header, const QString& key) const
{
    const QString name = StoredName(key);
    const qsizetype end = SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i)
        if (lines_[i].kind == Kind::Key && SameName(lines_[i].name, name))
            return i;
    return std::nullopt;
}

void IniDocument::Insert(qsizetype position, const QByteArray& text)
{
    if (position > 0 && lines_[position - 1].bytes.end.isEmpty())
        lines_[position - 1].bytes.end = QByteArrayLiteral("\r\n");
    lines_.insert(position, Parse({text, QByteArrayLiteral("\r\n")}));
}
