#pragma once

#include <QByteArray>
#include <QtGlobal>

// One refresh as history and recordings keep it: a keyframe holds the whole result (fields and
// cells); a delta holds only what differs from the frame before it (which rows of it each row is,
// the cells that changed, the rows that are new). Compressed; opaque to all but the frame codec.
struct HistoryFrame {
    qint64 time = 0;          // when the refresh was fetched, milliseconds since the epoch (UTC)
    bool keyframe = false;
    int rowCount = 0;
    QByteArray data;
};
