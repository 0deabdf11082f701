#include "data/view/ByteKeyRanks.h"

#include "data/view/RadixSort.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

// One key at one depth: its next eight bytes (zeros past its end) as a big-endian number, and how
// many bytes it has from there, 9 for more than eight, so that a key ending within the eight
// comes before a longer key with the same bytes.
struct Slice {
    quint64 bytes;
    quint32 key;
    quint32 left;
};

struct Range {
    std::size_t begin;
    std::size_t end;
    std::size_t depth;
};

constexpr quint32 Continues = 9;
// Fewer slices than this are sorted faster by comparison than by eight passes over them.
constexpr std::size_t RadixFrom = 2048;

} // namespace

std::vector<qint64> RankByteKeys(const ByteKeys& keys)
{
    const std::size_t count = keys.ends.size();
    const auto begin = [&](std::size_t key) { return key == 0 ? std::size_t(0) : keys.ends[key - 1]; };
    const auto length = [&](std::size_t key) { return keys.ends[key] - begin(key); };

    std::vector<Slice> slices(count);
    for (std::size_t i = 0; i < count; ++i)
        slices[i].key = quint32(i);
    // Whether a slice's key equals the one before it, known where their bytes run out together.
    std::vector<bool> same(count, false);
    std::vector<Range> pending{{0, count, 0}};
    std::vector<Slice> scratch;
    while (!pending.empty()) {
        const Range range = pending.back();
        pending.pop_back();
        for (std::size_t i = range.begin; i < range.end; ++i) {
            Slice& s = slices[i];
            const std::size_t size = length(s.key);
            const std::size_t left = size > range.depth ? size - range.depth : 0;
            unsigned char next[8] = {};
            if (left > 0)
                std::memcpy(next, keys.bytes.data() + begin(s.key) + range.depth, std::min<std::size_t>(left, 8));
            s.bytes = qFromBigEndian<quint64>(next);
            s.left = left > 8 ? Continues : quint32(left);
        }
        Slice* const first = slices.data() + range.begin;
        const std::size_t size = range.end - range.begin;
        if (size > RadixFrom) {
            RadixSort(first, size, [](const Slice& s) { return quint64(s.left); }, scratch);
            RadixSort(first, size, [](const Slice& s) { return s.bytes; }, scratch);
        } else {
            std::sort(first, first + size,
                      [](const Slice& a, const Slice& b) { return a.bytes != b.bytes ? a.bytes < b.bytes : a.left < b.left; });
        }
        for (std::size_t run = range.begin; run < range.end;) {
            std::size_t next = run + 1;
            while (next < range.end && slices[next].bytes == slices[run].bytes && slices[next].left == slices[run].left)
                ++next;
            if (next - run > 1 && slices[run].left == Continues)
                pending.push_back({run, next, range.depth + 8});
            else
                std::fill(same.begin() + std::ptrdiff_t(run) + 1, same.begin() + std::ptrdiff_t(next), true);
            run = next;
        }
    }

    std::vector<qint64> ranks(count);
    for (std::size_t i = 0; i < count; ++i) {
        const quint32 key = slices[i].key;
        ranks[key] = same[i] ? ranks[slices[i - 1].key] : qint64(i);
    }
    return ranks;
}

std::vector<std::size_t> KeysTiedAtLength(const ByteKeys& starts, const std::vector<qint64>& ranks, std::size_t length)
{
    std::vector<quint32> sharing(ranks.size(), 0);
    for (const qint64 rank : ranks)
        ++sharing[std::size_t(rank)];
    std::vector<std::size_t> tied;
    for (std::size_t key = 0; key < ranks.size(); ++key) {
        const std::size_t size = starts.ends[key] - (key == 0 ? 0 : starts.ends[key - 1]);
        if (size == length && sharing[std::size_t(ranks[key])] > 1)
            tied.push_back(key);
    }
    return tied;
}

std::vector<qint64> RankByKeyStarts(const ByteKeys& starts, std::size_t length,
                                    const std::function<void(std::size_t, std::vector<unsigned char>&)>& wholeKey)
{
    std::vector<qint64> ranks = RankByteKeys(starts);
    // The tied keys by rank: equal keys of one rank stand at the positions from the rank on, so a
    // tie's order within its keys ranks them from there.
    std::vector<std::pair<qint64, std::size_t>> tied;
    for (const std::size_t key : KeysTiedAtLength(starts, ranks, length))
        tied.emplace_back(ranks[key], key);
    std::sort(tied.begin(), tied.end());
    for (std::size_t first = 0; first < tied.size();) {
        std::size_t last = first + 1;
        while (last < tied.size() && tied[last].first == tied[first].first)
            ++last;
        ByteKeys whole;
        for (std::size_t i = first; i < last; ++i) {
            wholeKey(tied[i].second, whole.bytes);
            whole.ends.push_back(whole.bytes.size());
        }
        const std::vector<qint64> within = RankByteKeys(whole);
        for (std::size_t i = first; i < last; ++i)
            ranks[tied[i].second] = tied[i].first + within[i - first];
        first = last;
    }
    return ranks;
}
