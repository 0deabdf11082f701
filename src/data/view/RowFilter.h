#pragma once

#include "data/view/FilterExpression.h"

#include <QCollator>
#include <QList>
#include <QString>

class RecordSet;

// A filter expression bound to the fields of one record set, ready to test rows.
//
// How rows pass: each literal is read in the kind of its field. Numbers compare as numbers
// (exact decimals exactly), dates, times and date-times by value, booleans by truth (= and <>
// only). Text compares without regard to case, by the locale's collation for < and >, and
// ignores trailing blanks, so fixed-length columns padded by the server match what the operator
// typed. A null text counts as empty text, since the grid shows it so and "[x] = ''" is how the
// dialog asks for blank cells; a null number, date or boolean matches no condition at all.
class RowFilter {
public:
    // Throws DataError for an unknown field, a literal that does not fit its field's kind, or an
    // operator the kind does not support. dataSetName prefixes the unknown-field message.
    RowFilter(const FilterExpression& expression, const RecordSet& records, const QString& dataSetName);

    bool matches(int row) const;

private:
    enum class Kind { Integer, Real, Decimal, Text, Boolean };

    struct Test {
        int column = 0;
        CompareOp op = CompareOp::Equal;
        Kind kind = Kind::Text;
        qint64 integer = 0;
        double real = 0;
        QString text;
    };

    Test compile(const FilterCondition& condition, const QString& dataSetName) const;
    bool holds(const Test& test, int row) const;

    const RecordSet& records_;
    QList<QList<Test>> groups_;
    QCollator collator_;
};
