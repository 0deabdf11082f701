#pragma once

#include "catalogue/SubScript.h"
#include "platform/IniFile.h"

#include <QString>
#include <limits>
#include <memory>
#include <vector>

using SubScriptList = std::vector<std::unique_ptr<TSubScript>>;

// The menu file: the command menus of all catalogue scripts, one INI section per script
// identifier, one key "0", "1", ... per item, the item's five fields joined by the delimiter.
// Every operation opens the file, does its work in one reading (and one replacement) of it and
// closes it.
class MenuFile {
public:
    MenuFile(QString path, QString delimiter);

    // The items of the section, sorted by their whole stored values without regard to case in
    // the locale's collation. Reads keys "0" to "n-1", n being the number of keys in the section
    // but no more than maxKeys. A key that is absent, or whose fifth field is not a whole number,
    // gives the item "Error k" with the identifier "Пустой описатель" and the flag 0, sorted as the
    // value "Error k;Пустой описатель;;;"; the other items are read all the same.
    SubScriptList Read(const QString& id, int maxKeys = std::numeric_limits<int>::max()) const;

    // Writes the items as keys "0" to "n-1" and removes the keys n to formerCount-1, in one
    // replacement of the file: it holds the whole change or none of it. Other keys stay as they
    // are. Throws FileError "Unable to write to %s"; the file is unchanged then.
    void Write(const QString& id, const SubScriptList& items, int formerCount = 0);

    // How many characters the item's value takes in the file. A reading takes no more than
    // MaxValueLength of them: a longer value is cut, and its item no longer reads.
    qsizetype StoredLength(const TSubScript& item) const;
    static constexpr qsizetype MaxValueLength = IniFile::MaxValueLength;

    // The script file field of every value under every key of every section, as stored. A value
    // whose other fields would not read still names its file here.
    QStringList ScriptFiles() const;

private:
    QString Value(const TSubScript& item) const;

    QString path_;
    QString delimiter_;
};
