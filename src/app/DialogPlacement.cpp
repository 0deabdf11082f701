#include "app/DialogPlacement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

void CentreOnMainWindow(QWidget* dialog)
{
    const QWidget* owner = dialog->parentWidget();
    if (!owner)
        return;
    const QWidget* mainWindow = owner->window();
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(mainWindow->frameGeometry().center());
    // A main window partly off the screen must not take the dialog's title bar with it.
    if (const QScreen* screen = mainWindow->screen()) {
        const QRect available = screen->availableGeometry();
        frame.moveRight(std::min(frame.right(), available.right()));
        frame.moveBottom(std::min(frame.bottom(), available.bottom()));
        frame.moveLeft(std::max(frame.left(), available.left()));
        frame.moveTop(std::max(frame.top(), available.top()));
    }
    dialog->move(frame.topLeft());
}
