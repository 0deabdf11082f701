#pragma once

#include <QString>
#include <QStringList>

// Puts value into a command's script wherever the substitution mark stands, letters A to Z of the
// mark matching without regard to case, every occurrence of each line as loaded. Row values come
// from any client of the server (application names, host names, logins), so a value must never
// leave the place where its mark stands:
// - inside a quoted literal '...' every apostrophe of the value is doubled (and every backslash
//   too inside an escape string E'...');
// - inside a bracketed name [...] every "]" is doubled;
// - anywhere else (bare, in a comment, in a double-quoted or dollar-quoted text) the value must be
//   a number or one plain word (letters, digits and _ . - : @ # $, blanks only around it), placed
//   so that it opens no comment or quoted text.
// Returns false, leaving lines as they were, when the value may not stand at one of the marks.
bool SubstituteMark(QStringList& lines, const QString& mark, const QString& value);
