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
    // width doubles per key; room for expected keys without growing.
    explicit KeyedValues(int width = 0, int expected = 0);

    int width() const { return width_; }
    int size() const { return int(hashes_.size()); }

    // The entry of key, whose hash is qHash(key); -1 when it is not there.
    int find(QStringView key, std::size_t hash) const;
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
