#include "app/WaitBox.h"

WaitBox::WaitBox(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags)
{
    setModal(true);
    setWindowTitle(QStringLiteral("Quillon"));
}

void WaitBox::ShowElapsed(std::chrono::milliseconds) {}

void WaitBox::reject()
{
    if (cancelled_)
        return;
    cancelled_ = true;
    Q_EMIT cancelRequested();
}
