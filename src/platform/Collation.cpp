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

void SortTextLocale(QStringList& list)
{
    const QCollator collator = CaseInsensitiveCollator();
    std::stable_sort(list.begin(), list.end(), [&collator](const QString& a, const QString& b) {
        return collator.compare(a, b) < 0;
    });
}
