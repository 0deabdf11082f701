#pragma once

#include <QByteArray>
#include <QString>

// Configured paths use "\" as well as "/"; both separate folders when a path reaches the file system.
QString FileSystemPath(const QString& path);

// True for an existing regular file.
bool FileExists(const QString& path);

// Replaces the file's content as a whole: the data goes to a temporary file in the same folder,
// which is flushed to disk and renamed over the old file. On failure the old file is unchanged, no
// temporary file is left, and the result is false.
[[nodiscard]] bool WriteFileAtomically(const QString& path, const QByteArray& data);

namespace platform_testing {
// The next WriteFileAtomically fails at its last step, after the data was written and flushed.
void FailNextRename();
} // namespace platform_testing
