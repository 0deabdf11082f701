#pragma once

#include "data/history/RowRule.h"

#include <QGroupBox>
#include <QList>

class QListWidget;
class QPushButton;

// The row rules of a script on the entry editor's page "Параметры": a list in the order the rules
// are tried, with add, edit and delete through the rule dialog.
class RuleListEditor : public QGroupBox {
    Q_OBJECT
public:
    explicit RuleListEditor(QWidget* parent = nullptr);

    QList<RowRule> rules() const { return rules_; }
    void setRules(const QList<RowRule>& rules);

    QListWidget* lstRules;
    QPushButton* btnAddRule;
    QPushButton* btnEditRule;
    QPushButton* btnDeleteRule;

private:
    void fill(int current);
    void add();
    void edit();
    void remove();
    void enableButtons();

    QList<RowRule> rules_;
};
