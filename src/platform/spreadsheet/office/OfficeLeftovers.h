#pragma once

#include <QString>
#include <chrono>

// What an office leaves behind when it ends or dies: the socket of the pipe it listened on, in
// /tmp and named after the user and the pipe, and the temporary folder the program gives it, where
// it keeps its lu*.tmp folders. Only what the program's own offices made is ever removed, and only
// once nothing listens on their pipe any more.

// A pipe name of the program's own, one for each office it starts.
QString NewOfficePipeName();

// The temporary folder of the office listening on pipe: a folder of the user's temporary folder,
// named after the pipe.
QString OfficeTempFolder(const QString& pipe);

// Removes the socket and the temporary folder of the office of pipe, unless something still
// listens on the pipe.
void RemoveOfficeLeftovers(const QString& pipe);

// Removes what offices that had the program's own pipe names left, in this run or an earlier one:
// those whose pipe nothing has listened on for at least grace (an office just started has not
// made its pipe yet).
void RemoveLeftoversOfEndedOffices(std::chrono::milliseconds grace);
