#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <sys/types.h>

// The office process an export started: detached in a session of its own, reading and writing
// nothing of the program's, so that it outlives the program and never blocks on its output.
class OfficeProcess {
public:
    // The process keeps its temporary files in tempFolder. Throws SpreadsheetError when the
    // program cannot be started.
    OfficeProcess(const QString& program, const QStringList& arguments, const QString& tempFolder);
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    // Whether the process has ended; failed tells whether it ended other than with status 0.
    bool Ended(bool* failed = nullptr);
    // Waits for the end up to timeout, then kills the process and what it started.
    void EndWithin(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    bool ended_ = false;
    bool failed_ = false;
};
