#pragma once

#include <QtGlobal>
#include <functional>
#include <vector>

// Byte strings end to end in one buffer: key i is bytes [ends[i - 1], ends[i]), the first from 0.
struct ByteKeys {
    std::vector<unsigned char> bytes;
    std::vector<std::size_t> ends;
};

// The rank of every key in byte order (unsigned bytes, a key that starts another before it);
// equal keys share one rank. A string radix sort eight bytes at a time: most keys part within
// their first eight bytes, and keys that share a long start are sorted again only on the bytes
// after it, never compared from their first byte on.
std::vector<qint64> RankByteKeys(const ByteKeys& keys);

// The keys whose starts, given with their ranks, are length bytes long and equal another's: the
// starts alone may not tell these apart.
std::vector<std::size_t> KeysTiedAtLength(const ByteKeys& starts, const std::vector<qint64>& ranks, std::size_t length);

// The ranks of keys given at first by their starts, at most length bytes each, a shorter start
// being the whole key. Keys whose starts are equal and may go on are ranked among themselves by
// their whole keys, which wholeKey appends for a key's index on request: where the starts tell
// most keys apart, few whole keys are ever made.
std::vector<qint64> RankByKeyStarts(const ByteKeys& starts, std::size_t length,
                                    const std::function<void(std::size_t, std::vector<unsigned char>&)>& wholeKey);
