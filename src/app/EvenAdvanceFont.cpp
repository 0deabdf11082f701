#include "app/EvenAdvanceFont.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace {

// Narrow and wide Latin letters, digits, the table's rules and blanks, Cyrillic.
const QString Sample = QStringLiteral("iWl0M.-|+ Жщы");

QFont AtSizeOf(QFont font, const QFont& wanted)
{
    if (wanted.pixelSize() > 0)
        font.setPixelSize(wanted.pixelSize());
    else
        font.setPointSizeF(wanted.pointSizeF());
    return font;
}

} // namespace

bool HasEvenAdvances(const QFont& font)
{
    const QFontMetricsF metrics(font);
    const qreal first = metrics.horizontalAdvance(Sample.at(0));
    for (const QChar c : Sample) {
        if (!qFuzzyCompare(metrics.horizontalAdvance(c), first))
            return false;
    }
    return first > 0;
}

QFont EvenAdvanceFont(const QFont& wanted)
{
    if (HasEvenAdvances(wanted))
        return wanted;
    const QFont system = AtSizeOf(QFontDatabase::systemFont(QFontDatabase::FixedFont), wanted);
    if (HasEvenAdvances(system))
        return system;
    QFont generic = AtSizeOf(QFont(QStringLiteral("monospace")), wanted);
    generic.setStyleHint(QFont::Monospace);
    return HasEvenAdvances(generic) ? generic : system;
}
