#pragma once

#include <QDateTime>
#include <QString>

// What one command of a command menu did, as the action log keeps it.
struct ActionRecord {
    QDateTime time;
    QString server;
    QString login;
    // The text that ran, or would have, with the row's value put in.
    QString command;
    QString outcome;
};

// actions.log in the per-user folder (UserProgramFolder).
QString ActionLogPath();

// The record as one line: time, server, login, command and outcome separated by tabs; line breaks
// and tabs inside them become blanks, so that one command is one line.
QString ActionLine(const ActionRecord& record);

// Adds the record's line at the end of file, UTF-8, creating the file and its folder; what the file
// holds is never rewritten. Throws FileError when the line cannot be written whole.
void AppendAction(const QString& file, const ActionRecord& record);
