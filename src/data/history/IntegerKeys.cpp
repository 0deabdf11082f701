#include "data/history/IntegerKeys.h"

#include <algorithm>
#include <bit>

namespace {

// Consecutive ids must not crowd into neighbouring slots.
std::size_t FirstSlot(qint64 value, std::size_t mask)
{
    return std::size_t((quint64(value) * 0x9E3779B97F4A7C15ULL) >> 32) & mask;
}

} // namespace

IntegerKeys::IntegerKeys(int expected)
{
    reset(expected);
}

void IntegerKeys::reset(int expected)
{
    keys_.clear();
    keys_.reserve(std::size_t(std::max(expected, 0)));
    nullEntry_ = -1;
    valued_ = 0;
    slots_.assign(std::bit_ceil(std::size_t(std::max(expected, 4)) * 2), 0);
}

std::size_t IntegerKeys::slotOf(qint64 value) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = FirstSlot(value, mask);; slot = (slot + 1) & mask) {
        const quint32 held = slots_[slot];
        if (held == 0 || keys_[held - 1] == value)
            return slot;
    }
}

int IntegerKeys::find(Key key, int hint) const
{
    if (key.null)
        return nullEntry_;
    if (hint >= 0 && hint < size() && hint != nullEntry_ && keys_[std::size_t(hint)] == key.value)
        return hint;
    return int(slots_[slotOf(key.value)]) - 1;
}

int IntegerKeys::insert(Key key)
{
    if (key.null) {
        if (nullEntry_ >= 0)
            return -1 - nullEntry_;
        nullEntry_ = size();
        keys_.push_back(0);
        return nullEntry_;
    }
    if (std::size_t(valued_ + 1) * 2 > slots_.size())
        grow();
    const std::size_t slot = slotOf(key.value);
    if (slots_[slot] != 0)
        return -1 - int(slots_[slot] - 1);
    keys_.push_back(key.value);
    ++valued_;
    slots_[slot] = quint32(keys_.size());
    return size() - 1;
}

void IntegerKeys::grow()
{
    std::vector<quint32> old(slots_.size() * 2, 0);
    slots_.swap(old);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t entry = 0; entry < keys_.size(); ++entry) {
        if (int(entry) == nullEntry_)
            continue;
        std::size_t slot = FirstSlot(keys_[entry], mask);
        while (slots_[slot] != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = quint32(entry + 1);
    }
}
