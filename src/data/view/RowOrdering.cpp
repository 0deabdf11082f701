#include "data/view/RowOrdering.h"

#include "data/view/ByteKeyRanks.h"
#include "data/records/DecimalText.h"
#include "data/records/FieldKinds.h"
#include "data/view/RadixSort.h"
#include "data/records/RecordSet.h"
#include "platform/TextSortKeys.h"

#include <QHash>
#include <algorithm>
#include <bit>
#include <limits>
#include <numeric>

namespace {

constexpr qint64 NullKey = std::numeric_limits<qint64>::min();

// IEEE doubles as signed integers in the same order: negative values have their magnitude bits flipped.
qint64 RealKey(double value)
{
    const qint64 bits = std::bit_cast<qint64>(value);
    return bits >= 0 ? bits : bits ^ std::numeric_limits<qint64>::max();
}

template <typename View>
View WithoutTrailingBlanks(View value)
{
    while (!value.isEmpty() && value.back() == u' ')
        value.chop(1);
    return value;
}

// The distinct values of a text column: ids numbers each row's value in order of first appearance
// (null rows keep -1), and the result holds the first row of each. Trailing blanks are the padding
// of fixed-length columns; the filter ignores them too. The table holds row numbers, not copies of
// the values, so that what it costs goes back as one block when the sort is done.
template <typename View, typename TextOf>
std::vector<int> DistinctRows(const RecordColumn& c, std::vector<int>& ids, TextOf textOf)
{
    std::size_t slots = 16;
    while (slots < std::size_t(c.size()) * 2)
        slots <<= 1;
    const std::size_t mask = slots - 1;
    // A slot holds a value's number plus one in its low half and its hash's high bits in the other,
    // so that a probe reads a value's text only when the hashes agree. The table is larger than the
    // caches: each row's slot is fetched while the rows before it are looked up.
    std::vector<quint64> table(slots, 0);
    std::vector<int> firstRows;
    constexpr int Ahead = 16;
    std::size_t hashes[Ahead];
    const auto hashRow = [&](int row) {
        if (row >= c.size() || c.isNull(row))
            return;
        const std::size_t hash = qHash(WithoutTrailingBlanks(textOf(row)));
        hashes[row % Ahead] = hash;
#if defined(__GNUC__)
        __builtin_prefetch(&table[hash & mask]);
#endif
    };
    for (int row = 0; row < Ahead; ++row)
        hashRow(row);
    for (int row = 0; row < c.size(); ++row) {
        hashRow(row + Ahead);
        if (c.isNull(row))
            continue;
        const View value = WithoutTrailingBlanks(textOf(row));
        const std::size_t hash = hashes[row % Ahead];
        const quint64 tag = quint64(hash >> 32) << 32;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            quint64& entry = table[slot];
            if (entry == 0) {
                entry = tag | quint64(firstRows.size() + 1);
                firstRows.push_back(row);
            } else if ((entry & ~quint64(0xFFFFFFFF)) != tag
                       || WithoutTrailingBlanks(textOf(firstRows[std::size_t(entry & 0xFFFFFFFF) - 1])) != value) {
                continue;
            }
            ids[std::size_t(row)] = int(entry & 0xFFFFFFFF) - 1;
            break;
        }
    }
    return firstRows;
}

// Exact decimals by value, the first row of each distinct value standing for it.
std::vector<qint64> DecimalRanks(const RecordColumn& c, const std::vector<int>& firstRows)
{
    TextScratch scratch;
    std::vector<QString> distinct;
    distinct.reserve(firstRows.size());
    for (const int row : firstRows)
        distinct.push_back(WithoutTrailingBlanks(c.text(row, scratch)).toString());
    std::vector<int> byOrder(distinct.size());
    std::iota(byOrder.begin(), byOrder.end(), 0);
    const auto less = [&](int a, int b) { return CompareDecimalText(distinct[a], distinct[b]) < 0; };
    std::sort(byOrder.begin(), byOrder.end(), less);
    std::vector<qint64> rank(distinct.size());
    for (std::size_t i = 0; i < byOrder.size(); ++i)
        rank[byOrder[i]] = i > 0 && !less(byOrder[i - 1], byOrder[i]) ? rank[byOrder[i - 1]] : qint64(i);
    return rank;
}

constexpr std::size_t KeyStartLength = 8;

// Whether the starts of the collation keys part the given rows' texts well enough to rank by them,
// judged on a spread of a few hundred texts: where many share their start (a common prefix of
// the values), making the starts first only adds to the whole keys needed anyway.
bool StartsPartTexts(const RecordColumn& c, TextSortKeys& collation, const std::vector<int>& rows)
{
    constexpr std::size_t Sample = 256;
    const std::size_t step = std::max<std::size_t>(1, rows.size() / Sample);
    TextScratch scratch;
    ByteKeys starts;
    for (std::size_t i = 0; i < rows.size() && starts.ends.size() < Sample; i += step) {
        collation.appendStart(WithoutTrailingBlanks(c.text(rows[i], scratch)), KeyStartLength, starts.bytes);
        starts.ends.push_back(starts.bytes.size());
    }
    return KeysTiedAtLength(starts, RankByteKeys(starts), KeyStartLength).size() * 16 <= starts.ends.size();
}

// The collation ranks of the given rows' texts.
std::vector<qint64> CollationRanks(const RecordColumn& c, TextSortKeys& collation, const std::vector<int>& rows)
{
    TextScratch scratch;
    ByteKeys keys;
    keys.ends.reserve(rows.size());
    if (!collation.keysAreTexts() && StartsPartTexts(c, collation, rows)) {
        // A collator's whole key costs about a microsecond; its first bytes a sixth of that.
        keys.bytes.reserve(rows.size() * KeyStartLength);
        for (const int row : rows) {
            collation.appendStart(WithoutTrailingBlanks(c.text(row, scratch)), KeyStartLength, keys.bytes);
            keys.ends.push_back(keys.bytes.size());
        }
        return RankByKeyStarts(keys, KeyStartLength, [&](std::size_t key, std::vector<unsigned char>& out) {
            collation.append(WithoutTrailingBlanks(c.text(rows[key], scratch)), out);
        });
    }
    // Room for keys about as long as their texts, so that the buffer seldom grows and never twice.
    std::size_t characters = 0;
    for (const int row : rows)
        characters += std::size_t(c.wide() ? c.utf16Text(row).size() : c.latin1Text(row).size());
    keys.bytes.reserve(characters + characters / 4 + 4 * rows.size());
    for (const int row : rows) {
        collation.append(WithoutTrailingBlanks(c.text(row, scratch)), keys.bytes);
        keys.ends.push_back(keys.bytes.size());
    }
    return RankByteKeys(keys);
}

std::vector<qint64> TextKeys(const RecordSet& records, int column)
{
    const RecordColumn& c = records.column(column);
    const int rows = c.size();
    TextSortKeys collation(records.format().locale());
    const bool decimal = FieldKindOf(records.field(column).type).sortBy == SortBy::DecimalValue;
    if (!decimal && collation.keysAreTexts()) {
        // Keys that are the texts cost less to make for every row than to find the distinct ones.
        std::vector<int> valued;
        valued.reserve(std::size_t(rows));
        for (int row = 0; row < rows; ++row) {
            if (!c.isNull(row))
                valued.push_back(row);
        }
        const std::vector<qint64> rank = CollationRanks(c, collation, valued);
        std::vector<qint64> keys(static_cast<std::size_t>(rows), NullKey);
        for (std::size_t i = 0; i < valued.size(); ++i)
            keys[std::size_t(valued[i])] = rank[i];
        return keys;
    }
    std::vector<int> ids(std::size_t(rows), -1);
    const std::vector<int> firstRows = c.wide()
        ? DistinctRows<QStringView>(c, ids, [&](int row) { return c.utf16Text(row); })
        : DistinctRows<QLatin1StringView>(c, ids, [&](int row) { return c.latin1Text(row); });
    const std::vector<qint64> rank = decimal ? DecimalRanks(c, firstRows) : CollationRanks(c, collation, firstRows);
    std::vector<qint64> keys(static_cast<std::size_t>(rows), NullKey);
    for (int row = 0; row < rows; ++row) {
        if (ids[std::size_t(row)] >= 0)
            keys[std::size_t(row)] = rank[std::size_t(ids[std::size_t(row)])];
    }
    return keys;
}

} // namespace

std::vector<qint64> OrderingKeys(const RecordSet& records, int column)
{
    const RecordColumn& c = records.column(column);
    const int rows = c.size();
    switch (c.storage()) {
    case RecordColumn::Storage::Integer: {
        std::vector<qint64> keys(static_cast<std::size_t>(rows));
        for (int row = 0; row < rows; ++row)
            keys[std::size_t(row)] = c.isNull(row) ? NullKey : c.integer(row);
        return keys;
    }
    case RecordColumn::Storage::Real: {
        std::vector<qint64> keys(static_cast<std::size_t>(rows));
        for (int row = 0; row < rows; ++row)
            keys[std::size_t(row)] = c.isNull(row) ? NullKey : RealKey(c.real(row));
        return keys;
    }
    case RecordColumn::Storage::Text:
        break;
    }
    return TextKeys(records, column);
}

void SortRows(std::vector<int>& rows, const std::vector<std::vector<qint64>>& keys, const std::vector<bool>& descending)
{
    // A stable sort by each key in turn from the last to the first leaves the rows ordered by the
    // first key, ties by the next, and rows equal in every key in the order they came. A key is
    // sorted as an unsigned number whose order is the key's: the sign bit flipped, and every bit
    // for a descending key.
    struct Item {
        quint64 key;
        int row;
    };
    std::vector<Item> items(rows.size());
    std::vector<Item> scratch;
    for (std::size_t k = keys.size(); k-- > 0;) {
        const quint64 flip = (descending[k] ? ~quint64(0) : 0) ^ (quint64(1) << 63);
        for (std::size_t i = 0; i < rows.size(); ++i)
            items[i] = {quint64(keys[k][std::size_t(rows[i])]) ^ flip, rows[i]};
        RadixSort(items.data(), items.size(), [](const Item& item) { return item.key; }, scratch);
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = items[i].row;
    }
}
