#include "platform/IniFile.h"

#include "platform/FileSystem.h"
#include "platform/IniDocument.h"
#include "platform/QuillonError.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

FileError WriteError(const QString& path)
{
    return FileError(QStringLiteral("Unable to write to %1").arg(DisplayPath(path)));
}

// A missing file reads as empty; nullopt when the file is there but cannot be read (a dangling
// link counts as there). Opened before asking whether it is there: while another writer's rename
// replaces the file, the old one shows a link count of 0 for a moment, which QFile::exists()
// takes for gone, whereas opening it gets one whole version.
std::optional<QByteArray> ReadWholeFile(const QString& path)
{
    QFile file(FileSystemPath(path));
    if (!file.open(QIODevice::ReadOnly)) {
        const QFileInfo entry(file.fileName());
        if (entry.exists() || entry.isSymLink())
            return std::nullopt;
        return QByteArray();
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}

bool IsDigit(QChar c, bool hex)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9')
           || (hex && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')));
}

std::optional<int> ParseInteger(const QString& text)
{
    const bool dollar = text.startsWith(QLatin1Char('$'));
    const bool hex = dollar || text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const bool sign = text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-'));
    const QStringView digits = QStringView(text).sliced(hex ? (dollar ? 1 : 2) : (sign ? 1 : 0));
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(),
                                         [hex](QChar c) { return IsDigit(c, hex); }))
        return std::nullopt;
    bool ok = false;
    if (hex) {
        // Eight hex digits cover the whole 32 bits, so 0xFFFFFFFF reads as -1.
        const uint value = digits.toUInt(&ok, 16);
        return ok ? std::optional<int>(static_cast<int>(value)) : std::nullopt;
    }
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QList<IniValue> AsRead(QList<IniValue> values)
{
    for (IniValue& value : values)
        value.value.truncate(IniFile::MaxValueLength);
    return values;
}

} // namespace

IniFile::IniFile(QString path, FileAccess access) : path_(std::move(path)), access_(access) {}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    return Read(section, key).value_or(def);
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    const auto text = Read(section, key);
    return text ? ParseInteger(*text).value_or(def) : def;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    const auto text = Read(section, key);
    const auto value = text ? ParseInteger(*text) : std::nullopt;
    return value ? *value != 0 : def;
}

QStringList IniFile::ReadSections() const
{
    return Load().Sections();
}

QStringList IniFile::ReadSection(const QString& section) const
{
    return Load().Keys(section);
}

QList<IniValue> IniFile::ReadSectionValues(const QString& section) const
{
    return AsRead(Load().Values(section));
}

QList<IniValue> IniFile::ReadAllValues() const
{
    const IniDocument document = Load();
    QList<IniValue> values;
    for (const QString& section : document.Sections())
        values.append(document.Values(section));
    return AsRead(std::move(values));
}

bool IniFile::SectionExists(const QString& section) const
{
    return Load().HasSection(section);
}

bool IniFile::ValueExists(const QString& section, const QString& key) const
{
    return Load().Value(section, key).has_value();
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    IniDocument document = LoadForWriting();
    if (!document.SetValue(section, key, value))
        throw WriteError(path_);
    Save(document);
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::DeleteKey(const QString& section, const QString& key)
{
    IniDocument document = LoadForWriting();
    if (document.RemoveKey(section, key))
        Save(document);
}

void IniFile::WriteSection(const QString& section, const QList<IniValue>& values, const QStringList& removed)
{
    IniDocument document = LoadForWriting();
    if (!document.SetValues(section, values))
        throw WriteError(path_);
    const bool removedAny = document.RemoveKeys(section, removed);
    if (!values.isEmpty() || removedAny)
        Save(document);
}

std::optional<QString> IniFile::Read(const QString& section, const QString& key) const
{
    auto value = Load().Value(section, key);
    if (value)
        value->truncate(MaxValueLength);
    return value;
}

IniDocument IniFile::Load() const
{
    return IniDocument(ReadWholeFile(path_).value_or(QByteArray()));
}

IniDocument IniFile::LoadForWriting() const
{
    // A file that exists but cannot be read must not be replaced by one holding only the new key.
    const auto data = ReadWholeFile(path_);
    if (!data)
        throw WriteError(path_);
    return IniDocument(*data);
}

void IniFile::Save(const IniDocument& document) const
{
    if (!WriteFileAtomically(path_, document.ToBytes(), access_))
        throw WriteError(path_);
}
