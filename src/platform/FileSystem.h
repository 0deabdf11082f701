#pragma once

#include <QByteArray>
#include <QString>

// Configured paths use "\" as well as "/"; both separate folders when a path reaches the file system.
QString FileSystemPath(const QString& path);

// A path as a message shows it: one separator throughout, the platform's own.
QString DisplayPath(const QString& path);

// True for an existing regular file.
bool FileExists(const QString& path);

// Whether two paths name the same file: existing files by their canonical paths (links followed),
// others by their cleaned absolute paths, letter case counting as the file system counts it.
bool SameFile(const QString& a, const QString& b);

// Who may read a file the program creates. A file that exists keeps its own permissions.
enum class FileAccess {
    Shared,    // as the process's umask allows
    OwnerOnly, // read and write for the owner alone: files that hold logins
};

// Replaces the file's content as a whole: the data goes to a temporary file in the same folder,
// which is flushed to disk and renamed over the old file, and the folder is synced. Every write,
// the flush and the sync are checked, so a full disk fails the write. On failure the old file is
// unchanged, no temporary file is left, and the result is false. Temporary copies of this file
// left by a process killed before its rename ("name.XXXXXX", six letters) are removed first.
[[nodiscard]] bool WriteFileAtomically(const QString& path, const QByteArray& data,
                                       FileAccess access = FileAccess::Shared);

namespace platform_testing {
// The next WriteFileAtomically fails at its last step, after the data was written and flushed.
void FailNextRename();
} // namespace platform_testing
