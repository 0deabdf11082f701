#pragma once

#include <QString>

// The SQL text of a script file as the editors show it: the file's lines joined by line breaks.
// Throws FileError "Cannot open file %s".
QString ReadScriptText(const QString& path);

// Writes the text line by line, every line ending in CR LF, creating or replacing the file; a
// line break at the very end adds no line, and an empty text makes an empty file.
// Throws FileError "Cannot create file %s".
void WriteScriptText(const QString& path, const QString& text);

// Whether the two paths, resolved with ExpandAppPath, name the same file.
bool SameScriptFile(const QString& a, const QString& b);
