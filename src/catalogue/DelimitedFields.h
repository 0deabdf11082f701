#pragma once

#include <QString>
#include <initializer_list>

class QLabel;
class QLineEdit;
class QWidget;

// A text box whose text the editor writes as one field of a line of fields, and the label that
// names it.
struct DelimitedField {
    const QLabel* label;
    QLineEdit* edit;
};

// The field delimiter inside a field would split the line there when it is read back. Refuses the
// first field that holds it: shows an error naming the field and the delimiter, selects the
// delimiter in the field and returns false.
bool FieldsFreeOfDelimiter(std::initializer_list<DelimitedField> fields, const QString& delimiter, QWidget* parent);
