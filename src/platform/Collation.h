#pragma once

#include <QString>
#include <QStringList>

// Text order as the user expects it: the collation of the system locale, ignoring letter case.

// Negative, zero or positive as a sorts before, with or after b.
int CompareTextLocale(const QString& a, const QString& b);

// Texts that compare equal keep their order.
void SortTextLocale(QStringList& list);
