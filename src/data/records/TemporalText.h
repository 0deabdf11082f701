#pragma once

#include "data/records/TemporalValue.h"

#include <QStringView>
#include <optional>

// Times and date-times in the text forms drivers give them ("14:05:09.1234567",
// "2024-02-29 10:14:15.5000000 +03:00"), read into the encoding of TemporalValue.h. Fractions
// beyond seven digits are rounded away; nullopt for anything else.

// "HH:MM:SS" with an optional fraction, as ticks since midnight.
std::optional<qint64> ReadTimeText(QStringView text);

// "YYYY-MM-DD HH:MM:SS[.fffffff] +HH:MM" (or "-HH:MM").
std::optional<OffsetDateTime> ReadOffsetDateTimeText(QStringView text);

// The ticks of a fraction's digits ("5" is half a second); nullopt when they are not all digits.
std::optional<qint64> FractionTicks(QStringView digits);
