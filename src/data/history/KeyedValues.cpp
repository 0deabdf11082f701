#include "data/history/KeyedValues.h"

#include "data/DataErrors.h"

#include <bit>
#include <limits>

namespace {

// The hash's bits spread over the table's: keys that differ in a digit or two of their text must not
// crowd into neighbouring slots.
std::size_t FirstSlot(std::size_t hash, std::size_t mask)
{
    return std::size_t((quint64(hash) * 0x9E3779B97F4A7C15ULL) >> 32) & mask;
}

} // namespace

KeyedValues::KeyedValues(int width, int expected, qsizetype expectedChars) : width_(width)
{
    reset(width, expected, expectedChars);
}

void KeyedValues::reset(int width, int expected, qsizetype expectedChars)
{
    width_ = width;
    chars_.clear();
    ends_.clear();
    hashes_.clear();
    values_.clear();
    chars_.reserve(std::size_t(std::max<qsizetype>(expectedChars, 0)));
    ends_.reserve(std::size_t(std::max(expected, 0)));
    hashes_.reserve(std::size_t(std::max(expected, 0)));
    values_.reserve(std::size_t(std::max(expected, 0)) * std::size_t(width));
    slots_.assign(std::bit_ceil(std::size_t(std::max(expected, 4)) * 2), 0);
}

QStringView KeyedValues::keyOf(int entry) const
{
    const quint32 begin = entry == 0 ? 0 : ends_[std::size_t(entry) - 1];
    return QStringView(chars_.data() + begin, qsizetype(ends_[std::size_t(entry)] - begin));
}

std::size_t KeyedValues::slotOf(QStringView key, std::size_t hash) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = FirstSlot(hash, mask);; slot = (slot + 1) & mask) {
        const quint32 held = slots_[slot];
        if (held == 0)
            return slot;
        const int entry = int(held - 1);
        if (hashes_[std::size_t(entry)] == hash && keyOf(entry) == key)
            return slot;
    }
}

int KeyedValues::find(QStringView key, std::size_t hash, int hint) const
{
    if (hint >= 0 && hint < size() && hashes_[std::size_t(hint)] == hash && keyOf(hint) == key)
        return hint;
    return int(slots_[slotOf(key, hash)]) - 1;
}

int KeyedValues::insert(QStringView key, std::size_t hash)
{
    if ((hashes_.size() + 1) * 2 > slots_.size())
        grow();
    const std::size_t slot = slotOf(key, hash);
    if (slots_[slot] != 0)
        return -1 - int(slots_[slot] - 1);
    const std::size_t end = chars_.size() + std::size_t(key.size());
    if (end > std::numeric_limits<quint32>::max())
        throw DataError(QStringLiteral("The result set is too large: its row keys hold more than 4 billion characters"));
    chars_.insert(chars_.end(), key.utf16(), key.utf16() + key.size());
    ends_.push_back(quint32(end));
    hashes_.push_back(hash);
    values_.resize(values_.size() + std::size_t(width_), std::numeric_limits<double>::quiet_NaN());
    const int entry = int(hashes_.size()) - 1;
    slots_[slot] = quint32(entry + 1);
    return entry;
}

void KeyedValues::grow()
{
    std::vector<quint32> old(slots_.size() * 2, 0);
    slots_.swap(old);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t entry = 0; entry < hashes_.size(); ++entry) {
        std::size_t slot = FirstSlot(hashes_[entry], mask);
        while (slots_[slot] != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = quint32(entry + 1);
    }
}

qsizetype KeyedValues::bytesUsed() const
{
    return qsizetype(chars_.capacity() * sizeof(char16_t) + ends_.capacity() * sizeof(quint32)
                     + hashes_.capacity() * sizeof(std::size_t) + values_.capacity() * sizeof(double)
                     + slots_.capacity() * sizeof(quint32));
}
