#pragma once

#include <QList>
#include <QString>

enum class CompareOp { Equal, NotEqual, Greater, Less, GreaterEqual, LessEqual };

struct FilterCondition {
    QString field;
    CompareOp op = CompareOp::Equal;
    QString literal;
    bool quoted = false;
};

// Conditions joined by AND and OR, AND binding tighter: the row passes when all conditions of
// any one group hold. The filter dialog builds one or two conditions.
struct FilterExpression {
    QList<QList<FilterCondition>> groups;

    bool isEmpty() const { return groups.isEmpty(); }
};

// Reads "[field] op literal", joined by AND or OR (either case). A quoted literal runs to the
// next apostrophe and may not contain one; a bare literal runs to the next " AND [" or " OR [" or
// the end and may not be empty. An empty or blank text gives an empty expression.
// Throws DataError on text it cannot read.
FilterExpression ParseFilterExpression(const QString& text);
