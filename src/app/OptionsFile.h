#pragma once

#include "app/ScriptOptions.h"

#include <QString>

// The options file (Windows-1251 INI like the other configuration files): one section per script
// identifier. Column lists are stored comma-separated.

// The column names of a comma-separated list, blanks around them and empty names dropped.
QStringList ParseColumnList(const QString& text);

// The options of one script; none when the file, the section or a key is missing.
ScriptOptions ReadScriptOptions(const QString& file, const QString& scriptId);

// Writes the options of one script in one replacement of the file; an empty list removes its key.
// Keys this program does not know, and the other sections, stay as they are.
void WriteScriptOptions(const QString& file, const QString& scriptId, const ScriptOptions& options);
