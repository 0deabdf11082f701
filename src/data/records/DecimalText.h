#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Exact decimals are held as the driver's text ("-12.340"); these compare them without rounding
// them through a double.

// <0, 0, >0 like strcmp; both must be plain decimals: optional sign, digits, optional "." digits.
int CompareDecimalText(QStringView a, QStringView b);

// A plain decimal in C form from the user's text (the locale's decimal separator or "."),
// nullopt when it is not a finite number.
std::optional<QString> DecimalLiteral(const QString& text, QChar localeDecimalPoint);
