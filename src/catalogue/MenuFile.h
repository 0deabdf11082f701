#pragma once

#include "catalogue/SubScript.h"

#include <QString>
#include <limits>
#include <memory>
#include <vector>

using SubScriptList = std::vector<std::unique_ptr<TSubScript>>;

// The menu file: the command menus of all catalogue scripts, one INI section per script
// identifier, one key "0", "1", ... per item, the item's five fields joined by the delimiter.
// Every operation opens the file, does its work and closes it.
class MenuFile {
public:
    MenuFile(QString path, QString delimiter);

    // The items of the section, sorted by their whole stored values without regard to case in
    // the locale's collation. Reads keys "0" to "n-1", n being the number of keys in the section
    // but no more than maxKeys. A key that is absent gives the item "Error k" with the identifier
    // "Пустой описатель" and the flag 0. Throws ConvertError when a fifth field that is there is
    // not a whole number; nothing is returned then.
    SubScriptList Read(const QString& id, int maxKeys = std::numeric_limits<int>::max()) const;

    // Writes the items as keys "0" to "n-1"; keys numbered n or higher stay as they are.
    // Throws FileError "Unable to write to %s"; the keys written before stay written.
    void Write(const QString& id, const SubScriptList& items);

    // Removes the keys "0" to "count-1" of the section.
    void RemoveKeys(const QString& id, int count);

    // The script file field of every value under every key of every section, as stored. A value
    // whose other fields would stop a reading still names its file here.
    QStringList ScriptFiles() const;

private:
    QString path_;
    QString delimiter_;
};
