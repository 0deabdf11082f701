#pragma once

#include <QDialog>
#include <chrono>

// The modal box of a wait aside (RunAside). Cancel, Esc and the close box never close it: they ask
// once that the work give up, and the box goes when the wait ends.
class WaitBox : public QDialog {
    Q_OBJECT
public:
    explicit WaitBox(QWidget* parent, Qt::WindowFlags flags = {});

    // How long the work has run; called while the box shows.
    virtual void ShowElapsed(std::chrono::milliseconds elapsed);

    void reject() override;

Q_SIGNALS:
    void cancelRequested();

private:
    bool cancelled_ = false;
};
