#pragma once

class QAction;
class QMenu;
class QWidget;

// The commands on a catalogue-style grid, by their design names: add, view, edit, delete and exit.
struct EntryCommands {
    QAction* acIns;
    QAction* acView;
    QAction* acEdit;
    QAction* acDel;
    QAction* acExit;
};

// Gives the commands their pictures, lets their keys work wherever the focus is inside scope (the
// keypad's Enter as well as the main one), and returns the grid's popup menu: add, view, edit,
// delete, a separator and exit, owned by scope and exposed to assistive technology.
QMenu* SetUpEntryCommands(const EntryCommands& commands, QWidget* scope);
