#pragma once

#include "data/history/HistoryFrame.h"

#include <QString>
#include <QStringList>
#include <memory>

// What a recording says of itself: where and what it recorded.
struct RecordingHeader {
    QString server;          // the server as the window's caption names it
    QString scriptName;      // the catalogue entry's caption
    QString scriptId;        // the catalogue entry's identifier
    QString scriptText;      // the script as it ran
    QStringList keyColumns;
    QStringList cumulativeColumns;
    qint64 started = 0;      // milliseconds since the epoch (UTC)
    friend bool operator==(const RecordingHeader&, const RecordingHeader&) = default;
};

// Writes a recording: an SQLite database file of its own, the header first, then each refresh's
// frame in a transaction of its own, so that a program killed at any moment leaves every frame
// written before readable. The first frame must be a keyframe. Throws RecordingError (a DataError)
// with the text the operator sees when the file cannot be created or written.
class RecordingWriter {
public:
    // Creates path; refuses a file that exists.
    RecordingWriter(const QString& path, const RecordingHeader& header);
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    void write(const HistoryFrame& frame);
    const QString& path() const;
    int framesWritten() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads a recording, also one whose writer was killed or is still writing. Throws RecordingError
// naming the file on a file that is missing, cut, not an SQLite database or not a recording; opens
// it read-only and changes nothing.
class RecordingReader {
public:
    explicit RecordingReader(const QString& path);
    ~RecordingReader();
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    const RecordingHeader& header() const;
    int frameCount() const;
    // Frames in the order written, from 0.
    HistoryFrame frame(int index) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
