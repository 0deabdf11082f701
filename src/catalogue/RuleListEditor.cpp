#include "catalogue/RuleListEditor.h"

#include "catalogue/FormRule.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

RuleListEditor::RuleListEditor(QWidget* parent) : QGroupBox(QStringLiteral("Правила строк"), parent)
{
    setObjectName(QStringLiteral("RuleListEditor"));
    lstRules = new QListWidget(this);
    lstRules->setObjectName(QStringLiteral("lstRules"));
    btnAddRule = new QPushButton(QStringLiteral("Добавить..."), this);
    btnAddRule->setObjectName(QStringLiteral("btnAddRule"));
    btnEditRule = new QPushButton(QStringLiteral("Изменить..."), this);
    btnEditRule->setObjectName(QStringLiteral("btnEditRule"));
    btnDeleteRule = new QPushButton(QStringLiteral("Удалить"), this);
    btnDeleteRule->setObjectName(QStringLiteral("btnDeleteRule"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnAddRule);
    buttons->addWidget(btnEditRule);
    buttons->addWidget(btnDeleteRule);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lstRules);
    layout->addLayout(buttons);
    connect(btnAddRule, &QPushButton::clicked, this, [this] { add(); });
    connect(btnEditRule, &QPushButton::clicked, this, [this] { edit(); });
    connect(lstRules, &QListWidget::itemDoubleClicked, this, [this] { edit(); });
    connect(btnDeleteRule, &QPushButton::clicked, this, [this] { remove(); });
    connect(lstRules, &QListWidget::currentRowChanged, this, [this] { enableButtons(); });
    enableButtons();
}

void RuleListEditor::setRules(const QList<RowRule>& rules)
{
    rules_ = rules;
    fill(0);
}

void RuleListEditor::fill(int current)
{
    lstRules->clear();
    for (const RowRule& rule : rules_)
        lstRules->addItem(QStringLiteral("%1: %2").arg(rule.name, rule.expression));
    lstRules->setCurrentRow(std::min<int>(current, int(rules_.size()) - 1));
    enableButtons();
}

void RuleListEditor::add()
{
    TFormRule dialog(RowRule{}, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    rules_.append(dialog.rule());
    fill(int(rules_.size()) - 1);
}

void RuleListEditor::edit()
{
    const int row = lstRules->currentRow();
    if (!isEnabled() || row < 0 || row >= rules_.size())
        return;
    TFormRule dialog(rules_[row], this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    rules_[row] = dialog.rule();
    fill(row);
}

void RuleListEditor::remove()
{
    const int row = lstRules->currentRow();
    if (row < 0 || row >= rules_.size())
        return;
    rules_.removeAt(row);
    fill(row);
}

void RuleListEditor::enableButtons()
{
    const bool chosen = lstRules->currentRow() >= 0;
    btnEditRule->setEnabled(chosen);
    btnDeleteRule->setEnabled(chosen);
}
