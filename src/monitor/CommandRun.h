#pragma once

class Query;
class QWidget;

// Opens a command's query off the user-interface thread, so that a statement that takes long can
// be cancelled: after about half a second without an end the wait cursor and a CommandWaitBox
// (modal to parent) appear, and the window's calls keep being served meanwhile. False when the
// operator cancelled, whatever the statement's end; otherwise an error of the run is raised here.
bool RunCommandQuery(Query& command, QWidget* parent);
