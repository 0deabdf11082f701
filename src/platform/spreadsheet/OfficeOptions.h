#pragma once

#include <QString>
#include <chrono>

// How the office is found, started and shown.
struct OfficeOptions {
    // The plugin library that drives the office; beside the program when empty.
    QString pluginFile;
    // The office's program folder (the one holding soffice); the one found at build time when empty.
    QString programFolder;
    // A profile folder of its own (a file URL); the user's own profile when empty.
    QString profileUrl;
    // The name of the pipe the office listens on; one of its own for each start when empty.
    QString pipeName;
    // An office without windows: its workbooks are handed over without being made visible.
    bool headless = false;
    // From the start of the office process to a working connection.
    std::chrono::milliseconds startDeadline{30000};
};
