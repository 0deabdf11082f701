#pragma once

#include "platform/FileSystem.h"
#include "platform/IniDocument.h"

#include <QString>
#include <QStringList>

#include <optional>

// One INI file of the program, Windows-1251 text. Nothing is cached: every call opens the file,
// does its work and closes it. Reads of a missing file, section or key yield the caller's default;
// a key present with an empty value reads as the empty text. Writes create the file, the section
// and the key as needed (the folder must exist), keep every other line byte for byte, replace the
// file atomically, and throw FileError "Unable to write to %s" when they fail. A file the writes
// create gets the given access.
class IniFile {
public:
    // The most characters of a value that a read takes; the rest of a longer value is cut off.
    static constexpr qsizetype MaxValueLength = 2047;

    explicit IniFile(QString path, FileAccess access = FileAccess::Shared);

    const QString& FileName() const { return path_; }

    // At most MaxValueLength characters of the value are read.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal with an optional sign, or hexadecimal after "0x", "0X" or "$"; anything else
    // yields def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // True for any integer other than 0; a value that is no integer yields def.
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    // Section names in file order.
    QStringList ReadSections() const;
    // Key names of the section in file order.
    QStringList ReadSection(const QString& section) const;
    // The keys of the section in file order, each with its value as ReadString reads it, from one
    // reading of the file.
    QList<IniValue> ReadSectionValues(const QString& section) const;
    // ReadSectionValues of every section in turn, from one reading of the file.
    QList<IniValue> ReadAllValues() const;
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    // Removes the key's lines in its section, duplicates included; leaves the file untouched when
    // the key is not there.
    void DeleteKey(const QString& section, const QString& key);
    // WriteString for every value, then DeleteKey for every key of removed, in one replacement of
    // the file: it holds either all of the changes or none. A write that changes nothing leaves the
    // file untouched.
    void WriteSection(const QString& section, const QList<IniValue>& values, const QStringList& removed);

private:
    std::optional<QString> Read(const QString& section, const QString& key) const;
    IniDocument Load() const;
    IniDocument LoadForWriting() const;
    void Save(const IniDocument& document) const;

    QString path_;
    FileAccess access_;
};
