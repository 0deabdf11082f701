#include "app/WindowState.h"

#include <QWidget>

int WindowStateCode(const QWidget* window)
{
    if (window->isMinimized())
        return 1;
    if (window->isMaximized())
        return 2;
    return 0;
}

void ApplyWindowStateCode(QWidget* window, int state)
{
    const Qt::WindowStates wanted = state == 1 ? Qt::WindowMinimized : (state == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
    // Asking a window that is already normal to be normal makes a document window "restore" a
    // geometry it never had, and it shrinks to its smallest size.
    if ((window->windowState() & ~Qt::WindowActive) == wanted)
        return;
    window->setWindowState(wanted);
}
