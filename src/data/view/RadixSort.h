#pragma once

#include <QtGlobal>
#include <algorithm>
#include <cstddef>
#include <vector>

// Stable sort of items by an unsigned 64-bit key, one byte at a time from the lowest, passing over
// the bytes in which every key agrees: a few sequential passes over the items where a comparison
// sort would jump about them. scratch is room of the sort's own, kept by the caller across calls.
template <typename Item, typename KeyOf>
void RadixSort(Item* items, std::size_t count, KeyOf keyOf, std::vector<Item>& scratch)
{
    if (count < 2)
        return;
    const quint64 first = keyOf(items[0]);
    quint64 differ = 0;
    for (std::size_t i = 1; i < count; ++i)
        differ |= keyOf(items[i]) ^ first;
    if (differ == 0)
        return;
    scratch.resize(std::max(scratch.size(), count));
    Item* from = items;
    Item* to = scratch.data();
    for (int shift = 0; shift < 64; shift += 8) {
        if (((differ >> shift) & 0xFF) == 0)
            continue;
        std::size_t offsets[256] = {};
        for (std::size_t i = 0; i < count; ++i)
            ++offsets[(keyOf(from[i]) >> shift) & 0xFF];
        std::size_t position = 0;
        for (std::size_t& offset : offsets)
            position += std::exchange(offset, position);
        for (std::size_t i = 0; i < count; ++i)
            to[offsets[(keyOf(from[i]) >> shift) & 0xFF]++] = from[i];
        std::swap(from, to);
    }
    if (from != items)
        std::copy(from, from + count, items);
}
