#include "platform/Collation.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace {
QCollator CaseInsensitiveCollator()
{
    QCollator collator(QLocale::system());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}
} // namespace

int CompareTextLocale(const QString& a, const QString& b)
{
    return CaseInsensitiveCollator().compare(a, b);
}

TextLocaleLess::TextLocaleLess() : collator_(CaseInsensitiveCollator()) {}

void SortTextLocale(QStringList& list)
{
    std::stable_sort(list.begin(), list.end(), TextLocaleLess());
}
