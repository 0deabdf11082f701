#pragma once

#include "data/history/RowRule.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// The dialog of one row rule. The expression is checked as it is typed, with the filter's own
// error text under it; OK refuses a rule whose expression does not read, or that has no name or a
// name with ";", which the options file cannot keep.
class TFormRule : public QDialog {
    Q_OBJECT
public:
    TFormRule(const RowRule& rule, QWidget* parent);

    RowRule rule() const;
    void done(int result) override;

    QLineEdit* edName;
    QLineEdit* edExpression;
    QLabel* lblExpressionCheck;
    QSpinBox* seHold;
    QLineEdit* edColour;
    QCheckBox* cbBold;
    QComboBox* cbIcon;
    QCheckBox* cbNotify;
    QSpinBox* seCoolDown;

private:
    // The filter's error text for the expression typed, empty when it reads.
    QString expressionError() const;
    void CheckExpression();
    void ChooseColour();
};
