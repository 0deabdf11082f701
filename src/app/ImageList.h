#pragma once

#include <QIcon>

// The slots of the main window's image list of 18 pictures of 16 by 16 pixels, shared by all windows.
enum class ImageSlot : int {
    Cascade = 0,
    TileHorizontal = 1,
    TileVertical = 2,
    Exit = 3,
    Settings = 4,
    Start = 5,
    Connect = 6,
    Filter = 7,
    Scripts = 8,
    About = 9,
    Help = 10,
    Add = 11,
    View = 12,
    Edit = 13,
    Delete = 14,
    MarkerRight = 15,
    MarkerLeft = 16,
    Spreadsheet = 17,
};

QIcon ImageListIcon(ImageSlot slot);

// The program's own icon.
QIcon ProgramIcon();
