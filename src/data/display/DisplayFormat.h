#pragma once

#include "data/records/TemporalValue.h"

#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>

// Display texts in the user's locale, as the grid shows them and the filter reads them back:
// dates in the short date form with a four-digit year, times with seconds and, when it is not
// zero, the fraction of the second after a "." (as far as it has digits), a date-time with an
// offset followed by the offset ("+03:00"), numbers with the locale's decimal separator and
// without group separators. Built once per record set from the locale in force (QLocale()), so
// that formatting a cell costs no locale look-up.
class DisplayFormat {
public:
    DisplayFormat();

    const QLocale& locale() const { return locale_; }

    QString integer(qint64 value) const;
    QString real(double value) const;
    QString decimal(QStringView exact) const;   // exact is the driver's text, "." as separator
    QString boolean(bool value) const;
    QString dateTime(qint64 ticks) const;        // a value at midnight shows as its date alone
    QString dateTimeOffset(const OffsetDateTime& value) const;
    QString date(qint64 julianDay) const;
    QString time(qint64 ticks) const;

    // A finite number typed by the user: the locale's form or the C form. nullopt if it is none.
    std::optional<double> readNumber(const QString& text) const;
    // A date and optional time typed by the user: the locale's form (with or without seconds, with
    // or without a fraction) or the ISO form. Returned as ticks in the encoding of TemporalValue.h.
    std::optional<qint64> readDateTime(const QString& text) const;
    // The same followed by an optional offset ("+03:00"); without one the time is UTC's. Returned
    // as the UTC instant.
    std::optional<qint64> readDateTimeOffset(const QString& text) const;
    std::optional<qint64> readTime(const QString& text) const;

private:
    // The time format with the fraction's text put in after the seconds.
    QString timeFormatWith(qint64 ticksOfSecond) const;
    // Reads text in one of the forms with its fraction of a second taken out first.
    template <typename Read>
    std::optional<qint64> withFraction(const QString& text, Read read) const;

    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    qsizetype secondsEnd_ = -1;   // where the seconds end in timeFormat_, -1 when it has none
};
