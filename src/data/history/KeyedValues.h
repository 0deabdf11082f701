#pragma once

#include <QStringView>
#include <QtGlobal>
#include <cstddef>
#include <vector>

// The cumulative values of one refresh by row key, all a later refresh needs of it: the keys' texts
// in one buffer, a fixed number of doubles per key and an open-addressing table of the keys. A
// fraction of what the rows themselves hold, and no allocation per row.
class KeyedValues {
public:
    // width doubles per key; room for expected keys of expectedChars characters in all without growing.
    explicit KeyedValues(int width = 0, int expected = 0, qsizetype expectedChars = 0);

    // Empties it for the keys of a new refresh, keeping the room it has: no fresh pages to fault in.
    void reset(int width, int expected, qsizetype expectedChars);

    int width() const { return width_; }
    int size() const { return int(hashes_.size()); }
    qsizetype chars() const { return qsizetype(chars_.size()); }

    // The entry of key, whose hash is qHash(key); -1 when it is not there. Entry hint is tried first:
    // rows mostly come in the order of the previous refresh, and reading the entries in their order
    // spares the table's scattered reads.
    int find(QStringView key, std::size_t hash, int hint = -1) const;
    // Adds key with its values unset (NaN) and gives its entry; when key is there already, its
    // entry as -1 - entry.
    int insert(QStringView key, std::size_t hash);

    double* values(int entry) { return values_.data() + std::size_t(entry) * std::size_t(width_); }
    const double* values(int entry) const { return values_.data() + std::size_t(entry) * std::size_t(width_); }

    qsizetype bytesUsed() const;

private:
    QStringView keyOf(int entry) const;
    // The slot that holds entry hash's key, or the empty slot where it would go.
    std::size_t slotOf(QStringView key, std::size_t hash) const;
    void grow();

    int width_;
    std::vector<char16_t> chars_;
    std::vector<quint32> ends_;
    std::vector<std::size_t> hashes_;
    std::vector<double> values_;
    // Entry + 1 for a key, 0 for none; a power of two at least twice the entries.
    std::vector<quint32> slots_;
};
