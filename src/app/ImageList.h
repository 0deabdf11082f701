#pragma once

#include <QIcon>

// The main window's image list of 18 pictures of 16 by 16 pixels, shared by all windows.
QIcon ImageListIcon(int index);

// The program's own icon.
QIcon ProgramIcon();
