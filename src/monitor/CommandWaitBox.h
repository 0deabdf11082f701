#pragma once

#include "app/WaitBox.h"
#include "app/WaitCursor.h"

class QPushButton;

// Shown while a command's statement runs longer than a moment: "Выполняется команда..." and a
// Cancel button that asks the statement to stop, with the wait cursor over every window. Cancel
// only asks: the box goes once the statement has ended.
class CommandWaitBox : public WaitBox {
    Q_OBJECT
public:
    explicit CommandWaitBox(QWidget* parent);

private:
    const WaitCursor cursor_;
    QPushButton* cancelButton_;
};
