#pragma once

#include "app/ScriptOptions.h"

#include <QString>

// The options file (Windows-1251 INI like the other configuration files): one section per script
// identifier. Column lists are stored comma-separated.

// The column names of a comma-separated list, blanks around them and empty names dropped.
QStringList ParseColumnList(const QString& text);

// A rule as the options file holds it under the keys Rule1, Rule2, ...: its name, then tagged
// fields separated by ";" (hold=seconds, color=#rrggbb, bold, icon=index, notify, cooldown=seconds)
// and last "when=" and the expression, which runs to the end of the value and may hold ";".
// Unknown tags are passed over; a number that is no whole number leaves the default.
RowRule ParseRowRule(const QString& text);
QString RowRuleText(const RowRule& rule);

// The options of one script; none when the file, the section or a key is missing.
ScriptOptions ReadScriptOptions(const QString& file, const QString& scriptId);

// Writes the options of one script in one replacement of the file; an empty list removes its key.
// Keys this program does not know, and the other sections, stay as they are.
void WriteScriptOptions(const QString& file, const QString& scriptId, const ScriptOptions& options);
