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
    switch (state) {
    case 1: window->setWindowState(Qt::WindowMinimized); break;
    case 2: window->setWindowState(Qt::WindowMaximized); break;
    default: window->setWindowState(Qt::WindowNoState); break;
    }
}
