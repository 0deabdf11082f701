#include "catalogue/FormRule.h"

#include "app/ImageList.h"
#include "app/MessageBox.h"
#include "data/DataErrors.h"
#include "data/view/FilterExpression.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// A day: longer holds and cool-downs say nothing an operator watches for.
constexpr int SecondsAtMost = 86400;

QSpinBox* SecondsBox(const QString& name, int value, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, SecondsAtMost);
    box->setSuffix(QStringLiteral(" с"));
    box->setValue(value);
    return box;
}

} // namespace

TFormRule::TFormRule(const RowRule& rule, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormRule"));
    setWindowTitle(QStringLiteral("Правило строк"));
    edName = new QLineEdit(rule.name, this);
    edName->setObjectName(QStringLiteral("edName"));
    edExpression = new QLineEdit(rule.expression, this);
    edExpression->setObjectName(QStringLiteral("edExpression"));
    edExpression->setPlaceholderText(QStringLiteral("[BlkBy] <> '  .' AND [Status] = 'SUSPENDED'"));
    lblExpressionCheck = new QLabel(this);
    lblExpressionCheck->setObjectName(QStringLiteral("lblExpressionCheck"));
    lblExpressionCheck->setWordWrap(true);
    seHold = SecondsBox(QStringLiteral("seHold"), rule.holdSeconds, this);
    edColour = new QLineEdit(rule.background, this);
    edColour->setObjectName(QStringLiteral("edColour"));
    edColour->setPlaceholderText(QStringLiteral("#rrggbb"));
    edColour->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("#[0-9A-Fa-f]{0,6}")), edColour));
    auto* chooseColour = new QToolButton(this);
    chooseColour->setObjectName(QStringLiteral("btnColour"));
    chooseColour->setText(QStringLiteral("..."));
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(edColour);
    colourRow->addWidget(chooseColour);
    cbBold = new QCheckBox(QStringLiteral("Жирный шрифт"), this);
    cbBold->setObjectName(QStringLiteral("cbBold"));
    cbBold->setChecked(rule.bold);
    cbIcon = new QComboBox(this);
    cbIcon->setObjectName(QStringLiteral("cbIcon"));
    cbIcon->addItem(QStringLiteral("нет"), -1);
    for (int slot = 0; slot <= int(ImageSlot::Spreadsheet); ++slot)
        cbIcon->addItem(ImageListIcon(ImageSlot(slot)), QString::number(slot), slot);
    cbIcon->setCurrentIndex(std::max(0, cbIcon->findData(rule.icon)));
    cbNotify = new QCheckBox(QStringLiteral("Уведомлять"), this);
    cbNotify->setObjectName(QStringLiteral("cbNotify"));
    cbNotify->setChecked(rule.notify);
    seCoolDown = SecondsBox(QStringLiteral("seCoolDown"), rule.coolDownSeconds, this);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Название"), edName);
    fields->addRow(QStringLiteral("Условие"), edExpression);
    fields->addRow(QString(), lblExpressionCheck);
    fields->addRow(QStringLiteral("Держится не меньше"), seHold);
    fields->addRow(QStringLiteral("Фон строки"), colourRow);
    fields->addRow(QString(), cbBold);
    fields->addRow(QStringLiteral("Значок"), cbIcon);
    fields->addRow(QString(), cbNotify);
    fields->addRow(QStringLiteral("Повтор не чаще"), seCoolDown);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    setMinimumWidth(460);

    connect(edExpression, &QLineEdit::textChanged, this, [this] { CheckExpression(); });
    connect(cbNotify, &QCheckBox::toggled, seCoolDown, &QWidget::setEnabled);
    connect(chooseColour, &QToolButton::clicked, this, [this] { ChooseColour(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    seCoolDown->setEnabled(rule.notify);
    CheckExpression();
}

RowRule TFormRule::rule() const
{
    RowRule made;
    made.name = edName->text().trimmed();
    made.expression = edExpression->text().trimmed();
    made.holdSeconds = seHold->value();
    made.background = edColour->text().size() == 7 ? edColour->text() : QString();
    made.bold = cbBold->isChecked();
    made.icon = cbIcon->currentData().toInt();
    made.notify = cbNotify->isChecked();
    made.coolDownSeconds = seCoolDown->value();
    return made;
}

QString TFormRule::expressionError() const
{
    const QString text = edExpression->text().trimmed();
    if (text.isEmpty())
        return QStringLiteral("Условие не задано");
    try {
        ParseFilterExpression(text);
    } catch (const DataError& error) {
        return error.message();
    }
    return QString();
}

void TFormRule::CheckExpression()
{
    const QString error = expressionError();
    lblExpressionCheck->setText(error.isEmpty() ? QStringLiteral("Условие читается") : error);
    lblExpressionCheck->setStyleSheet(error.isEmpty() ? QString() : QStringLiteral("color: #b00000"));
}

void TFormRule::ChooseColour()
{
    const QColor chosen = QColorDialog::getColor(QColor(edColour->text()), this);
    if (chosen.isValid())
        edColour->setText(chosen.name());
}

void TFormRule::done(int result)
{
    if (result == QDialog::Accepted) {
        const QString name = edName->text().trimmed();
        const QString refusal = name.isEmpty() ? QStringLiteral("Укажите название правила")
            : name.contains(QLatin1Char(';')) ? QStringLiteral("Название правила не может содержать \";\"")
                                              : expressionError();
        if (!refusal.isEmpty()) {
            ShowMessage(MessageType::Error, refusal, QMessageBox::Ok, this);
            return;
        }
    }
    QDialog::done(result);
}
