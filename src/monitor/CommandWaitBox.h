#pragma once

#include <QDialog>
#include <functional>

class QPushButton;

// Shown while a command's statement runs longer than a moment: "Выполняется команда..." and a
// Cancel button that asks the statement to stop. The box closes itself once the statement has
// ended; Cancel, Esc and the close box only ask, so the run always ends before the box goes.
class CommandWaitBox : public QDialog {
    Q_OBJECT
public:
    // ended tells whether the statement has ended; cancel asks the statement to stop.
    CommandWaitBox(std::function<bool()> ended, std::function<void()> cancel, QWidget* parent);

    bool Cancelled() const { return cancelled_; }

    void reject() override;

private:
    void TimerTick();

    std::function<bool()> ended_;
    std::function<void()> cancel_;
    QPushButton* cancelButton_;
    bool cancelled_ = false;
};
