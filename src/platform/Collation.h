#pragma once

#include <QCollator>
#include <QString>
#include <QStringList>

// Text order as the user expects it: the collation of the system locale, ignoring letter case.

// Negative, zero or positive as a sorts before, with or after b.
int CompareTextLocale(const QString& a, const QString& b);

// The order of CompareTextLocale as a predicate for sorting: one collator serves every comparison.
class TextLocaleLess {
public:
    TextLocaleLess();
    bool operator()(const QString& a, const QString& b) const { return collator_.compare(a, b) < 0; }

private:
    QCollator collator_;
};

// Texts that compare equal keep their order.
void SortTextLocale(QStringList& list);
