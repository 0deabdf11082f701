#pragma once

class Query;
class QWidget;

// Opens a command's query aside (RunAside), so that a statement that takes long can be cancelled:
// after about half a second without an end a CommandWaitBox (modal to parent) appears, and the
// windows' calls keep being served meanwhile. False when the operator cancelled, whatever the
// statement's end; otherwise an error of the run is raised here.
bool OpenCommandQuery(Query& command, QWidget* parent);
