#pragma once

#include "data/connection/SqlSyntax.h"

#include <QString>
#include <QStringList>

// Puts value into a command's script wherever the substitution mark stands, letters A to Z of the
// mark matching without regard to case, every occurrence of each line as loaded. Row values come
// from any client of the server (application names, host names, logins), so a value must never
// leave the place where its mark stands. The script is read as the server of syntax reads it, and
// a place that quotes on one server but is code on another is code where it is code:
// - in a string '...' every apostrophe of the value is doubled, and every backslash too where the
//   string takes backslash escapes (PostgreSQL's E'...', and its '...' while the session's strings
//   are not standard); where that is unknown a value with a backslash is refused;
// - in a quoted name every closing character is doubled: "]" of [...] on SQL Server, '"' of "...";
// - in PostgreSQL's U&'...' and U&"..." the quote is doubled, and a value holding the escape
//   character, or standing where an escape sequence could run into it, is refused;
// - anywhere else (code, a comment, brackets on PostgreSQL, a dollar-quoted body, a bit string) the
//   value must be a number or one plain word (letters, digits and _ . - : @ # $, blanks only
//   around it), placed so that it opens no comment or quoted text and ends none, and makes no
//   prefix of a string after it.
// Returns false, leaving lines as they were, when the value may not stand at one of the marks.
bool SubstituteMark(QStringList& lines, const QString& mark, const QString& value, const SqlSyntax& syntax);
