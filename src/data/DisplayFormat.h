#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>

// Display texts in the user's locale, as the grid shows them and the filter reads them back:
// dates in the short date form with a four-digit year, times with seconds, numbers with the
// locale's decimal separator and without group separators. Built once per record set from the
// locale in force (QLocale()), so that formatting a cell costs no locale look-up.
class DisplayFormat {
public:
    DisplayFormat();

    const QLocale& locale() const { return locale_; }

    QString integer(qint64 value) const;
    QString real(double value) const;
    QString decimal(QStringView exact) const;   // exact is the driver's text, "." as separator
    QString boolean(bool value) const;
    QString dateTime(qint64 micros) const;        // a value at midnight shows as its date alone
    QString date(qint64 julianDay) const;
    QString time(qint64 micros) const;

    // A finite number typed by the user: the locale's form or the C form. nullopt if it is none.
    std::optional<double> readNumber(const QString& text) const;
    // A date and optional time typed by the user: the locale's form (with or without seconds) or
    // the ISO form. Returned as microseconds in the encoding of TemporalValue.h.
    std::optional<qint64> readDateTime(const QString& text) const;
    std::optional<qint64> readTime(const QString& text) const;

private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    QString dateTimeFormat_;
};
