#pragma once

class QWidget;

// The application's help file, relative to the program folder as the original help viewer took it.
inline constexpr char HelpFile[] = "Help\\QUILLON32.HLP";

// Shows the contents of the help file: the HTML manual that stands beside it. A missing manual
// shows nothing.
void ShowHelpContents(QWidget* parent);
