#include "platform/IniDocument.h"

#include "platform/TextCodec.h"

#include <QSet>

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
    for (ByteLine& bytes : SplitByteLines(data))
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
    const Line& line = lines_[*found];
    return FromCp1251(Unquoted(line.bytes.text.sliced(line.valueStart).trimmed()));
}

QStringList IniDocument::Keys(const QString& section) const
{
    QStringList keys;
    const auto header = FindSection(section);
    if (!header)
        return keys;
    // Names folded the way SameName compares them, so that a large section takes linear time.
    QSet<QString> seen;
    const qsizetype end = SectionEnd(*header);
    for (qsizetype i = *header + 1; i < end; ++i) {
        if (lines_[i].kind != Kind::Key)
            continue;
        const qsizetype before = seen.size();
        seen.insert(lines_[i].name.toCaseFolded());
        if (seen.size() != before)
            keys.append(lines_[i].name);
    }
    return keys;
}

bool IniDocument::SetValue(const QString& section, const QString& key, const QString& value)
{
    if (!Storable(section, key, value))
        return false;
    const QByteArray encodedValue = ToCp1251(value);
    const auto header = FindSection(section);
    if (!header) {
        Insert(lines_.size(), '[' + ToCp1251(section).trimmed() + ']');
        Insert(lines_.size(), ToCp1251(key).trimmed() + '=' + encodedValue);
        return true;
    }
    if (const auto found = FindKey(*header, key)) {
        Line& line = lines_[*found];
        const QByteArray name = line.bytes.text.first(line.valueStart - 1).trimmed();
        line = Parse({name + '=' + encodedValue, QByteArrayLiteral("\r\n")});
        return true;
    }
    qsizetype position = *header + 1;
    const qsizetype end = SectionEnd(*header);
    for (qsizetype i = position; i < end; ++i)
        if (lines_[i].kind == Kind::Key)
            position = i + 1;
    Insert(position, ToCp1251(key).trimmed() + '=' + encodedValue);
    return true;
}

bool IniDocument::RemoveKey(const QString& section, const QString& key)
{
    const auto header = FindSection(section);
    if (!header)
        return false;
    const QString name = StoredName(key);
    bool removed = false;
    for (qsizetype i = SectionEnd(*header) - 1; i > *header; --i) {
        if (lines_[i].kind == Kind::Key && SameName(lines_[i].name, name)) {
            lines_.removeAt(i);
            removed = true;
        }
    }
    return removed;
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
