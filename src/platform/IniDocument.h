#pragma once

#include "platform/ByteLines.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One key of a section and its value.
struct IniValue {
    QString key;
    QString value;
};

// The lines of one INI file, parsed for lookup and edited in place. Lines that an edit does not
// touch keep their bytes and their own line breaks; lines it writes end in CR LF.
//
// Section and key names compare without regard to letter case, after blanks around them are
// dropped. Where a section or a key occurs twice, the first one counts. Lines starting with ";"
// are comments; lines that are neither headers nor key=value lines are skipped. Keys above the
// first section header belong to no section.
class IniDocument {
public:
    explicit IniDocument(const QByteArray& data);

    bool HasSection(const QString& section) const;
    // Section names in file order, each once.
    QStringList Sections() const;
    // The value without the blanks around it and without enclosing matching quotes.
    std::optional<QString> Value(const QString& section, const QString& key) const;
    // Key names in file order, each once.
    QStringList Keys(const QString& section) const;
    // The keys in file order, each once, with their values as Value gives them.
    QList<IniValue> Values(const QString& section) const;

    // Appends the section at the end of the file and the key after the last key of its section
    // when they are missing. False, and nothing changed, when the names or the value cannot be
    // told apart from the file's structure when read back (line breaks, an "=" in the key, ...).
    [[nodiscard]] bool SetValue(const QString& section, const QString& key, const QString& value);
    // SetValue for each key in turn, in one pass over the section: false, and nothing changed, when
    // any of them cannot be stored. No values add no section.
    [[nodiscard]] bool SetValues(const QString& section, const QList<IniValue>& values);
    // Removes every line of the key in its section; false when there was none.
    bool RemoveKey(const QString& section, const QString& key);
    // RemoveKey for each key, in one pass over the section; false when none was there.
    bool RemoveKeys(const QString& section, const QStringList& keys);

    QByteArray ToBytes() const;

private:
    enum class Kind { Section, Key, Other };
    struct Line {
        ByteLine bytes;
        Kind kind = Kind::Other;
        QString name;
        qsizetype valueStart = 0;
    };

    static Line Parse(ByteLine bytes);
    static QString LineValue(const Line& line);
    // The first line of each key of the section, in file order.
    QList<qsizetype> KeyLines(qsizetype header) const;
    std::optional<qsizetype> FindSection(const QString& section) const;
    qsizetype SectionEnd(qsizetype header) const;
    std::optional<qsizetype> FindKey(qsizetype header, const QString& key) const;
    void Insert(qsizetype position, const QByteArray& text);

    QList<Line> lines_;
};
