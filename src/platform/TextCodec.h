#pragma once

#include <QByteArray>
#include <QString>

// The program's files are 8-bit Windows-1251 text.

// Every byte becomes exactly one character; a byte the code page leaves undefined (0x98) becomes
// U+FFFD, so a damaged file still reads in full.
QString FromCp1251(const QByteArray& bytes);

// A character the code page cannot hold becomes one "?", a surrogate pair included.
QByteArray ToCp1251(const QString& text);

// Whether the code page holds every character of text, so that it reads back unchanged.
bool FitsCp1251(const QString& text);
