#pragma once

#include <QString>

// Where the configuration of a program in programFolder lives, with a trailing "/": the program
// folder itself while it may be written (a portable program folder), else the per-user folder
// (UserProgramFolder). settingsFile is the main settings file's path below that folder: while the
// per-user folder has none, it is a first start there, and the sample configuration is copied in.
QString ConfigurationFolder(const QString& programFolder, const QString& settingsFile);

// $XDG_DATA_HOME/quillon/ (by default ~/.local/share/quillon/), with a trailing "/".
QString UserProgramFolder();

// Copies the files below Config/ and Scripts/ of programFolder into the same places below
// userFolder, creating the folders; a file that already exists there is kept as it is. Throws
// FileError "Cannot create file %s" for a file it cannot write.
void SeedUserFolder(const QString& programFolder, const QString& userFolder);
