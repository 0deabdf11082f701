#pragma once

class QMenu;

// Qt gives a context menu the application as its accessible parent but leaves it out of the
// application's children, so a screen reader walking the tree never finds it while it is shown.
// A popup passed here is listed among the application's children while it is visible, as the
// menus of a menu bar are listed under their bar. Install before the first window is shown.
void InstallPopupAccessibility();
void ExposePopup(QMenu* popup);
