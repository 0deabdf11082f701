#pragma once

#include <QStringList>

class Query;

// The rows a command returned as a fixed-pitch table: a header of the field names, a rule, one line
// per record. Every column is as wide as its longest name or value plus two blanks, the last one
// included; nothing is cut. Built in two passes, widths then lines.
QStringList ResultTextLines(const Query& result);
