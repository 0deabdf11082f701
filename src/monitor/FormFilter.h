#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class FormFilter;
}
class QComboBox;
class QLineEdit;
class TFormMon;

// The row filter dialog: one condition, or two joined by AND or OR, each a column, an operator and
// a value, handed to the monitor window's data set as a filter expression.
class TFormFilter : public QDialog {
    Q_OBJECT
public:
    explicit TFormFilter(TFormMon& monitor);
    ~TFormFilter() override;

    void FormCreate();
    void chBox1Click(bool andTicked);
    void BitBtn1Click();
    void BitBtn3Click();

    // "[field] op value", the value quoted for the column kinds that take a quoted literal.
    QString Condition(const QString& field, const QString& op, const QString& value) const;

private:
    // The distinct values of the chosen column in the rows now held, offered as the value is typed.
    void OfferValues(QComboBox* fields, QLineEdit* value);

    std::unique_ptr<Ui::FormFilter> ui;
    TFormMon& monitor_;
};
