#pragma once

#include <QtGlobal>
#include <cstddef>
#include <vector>

// Row keys of a single integer column, as an open-addressing table of the values: a key column of
// numbers (a session's id) needs neither its digits spelt out nor a text hashed. A null is a key
// of its own, as its empty text is.
class IntegerKeys {
public:
    struct Key {
        qint64 value = 0;
        bool null = false;
    };

    // Room for expected keys without growing.
    explicit IntegerKeys(int expected = 0);

    // Empties it for the keys of a new refresh, keeping the room it has: no fresh pages to fault in.
    void reset(int expected);

    int size() const { return int(keys_.size()); }

    // The entry of key; -1 when it is not there. Entry hint is tried first: rows mostly come in the
    // order of the previous refresh, and reading the entries in their order spares the table's
    // scattered reads.
    int find(Key key, int hint = -1) const;
    // Adds key and gives its entry; when key is there already, its entry as -1 - entry.
    int insert(Key key);

private:
    // The slot that holds value, or the empty slot where it would go.
    std::size_t slotOf(qint64 value) const;
    void grow();

    std::vector<qint64> keys_;
    int nullEntry_ = -1;
    // Entry + 1 for a value, 0 for none; a power of two at least twice the entries. The null key
    // has an entry but no slot.
    std::vector<quint32> slots_;
    int valued_ = 0;
};
