#pragma once

// A row of a data set, designated by its position in the record set as fetched: sorting and
// filtering do not move it, and a refresh of an unchanged result finds the same row again.
struct Bookmark {
    int row = -1;

    bool valid() const { return row >= 0; }
    friend bool operator==(const Bookmark&, const Bookmark&) = default;
};
