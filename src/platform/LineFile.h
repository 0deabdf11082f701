#pragma once

#include "platform/FileSystem.h"

#include <QString>
#include <QStringList>

// Whole 8-bit Windows-1251 text files read and written by lines: the scripts file, the server list
// and the SQL script files.

// Lines may end in CR LF, LF or CR. Throws FileError "Cannot open file %s".
QStringList ReadLines(const QString& path);

// Every line, the last included, ends in CR LF; the file is replaced as a whole, and gets the given
// access when it is new. Throws FileError "Cannot create file %s".
void WriteLines(const QString& path, const QStringList& lines, FileAccess access = FileAccess::Shared);
