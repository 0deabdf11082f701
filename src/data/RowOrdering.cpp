#include "data/RowOrdering.h"

#include "data/DecimalText.h"
#include "data/RecordSet.h"

#include <QCollator>
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

// The distinct values of a column in the form it holds, numbered in order of appearance into
// ids (null rows keep -1). Trailing blanks are the padding of fixed-length columns; the filter
// ignores them too.
template <typename View, typename TextOf>
std::vector<QString> DistinctTexts(const RecordColumn& c, std::vector<int>& ids, TextOf textOf)
{
    std::vector<QString> distinct;
    QHash<View, int> seen;
    for (int row = 0; row < c.size(); ++row) {
        if (c.isNull(row))
            continue;
        View value = textOf(row);
        while (!value.isEmpty() && value.back() == u' ')
            value.chop(1);
        auto it = seen.constFind(value);
        if (it == seen.constEnd()) {
            it = seen.insert(value, int(distinct.size()));
            distinct.push_back(value.toString());
        }
        ids[std::size_t(row)] = it.value();
    }
    return distinct;
}

std::vector<qint64> TextKeys(const RecordSet& records, int column)
{
    const RecordColumn& c = records.column(column);
    const int rows = c.size();
    std::vector<int> ids(std::size_t(rows), -1);
    const std::vector<QString> distinct =
        c.wide() ? DistinctTexts<QStringView>(c, ids, [&](int row) { return c.utf16Text(row); })
                 : DistinctTexts<QLatin1StringView>(c, ids, [&](int row) { return c.latin1Text(row); });

    std::vector<int> byOrder(distinct.size());
    std::iota(byOrder.begin(), byOrder.end(), 0);
    std::vector<qint64> rank(distinct.size());
    if (records.field(column).type == FieldType::Decimal) {
        const auto less = [&](int a, int b) { return CompareDecimalText(distinct[a], distinct[b]) < 0; };
        std::sort(byOrder.begin(), byOrder.end(), less);
        for (std::size_t i = 0; i < byOrder.size(); ++i)
            rank[byOrder[i]] = i > 0 && !less(byOrder[i - 1], byOrder[i]) ? rank[byOrder[i - 1]] : qint64(i);
    } else {
        QCollator collator(records.format().locale());
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QCollatorSortKey> sortKeys;
        sortKeys.reserve(distinct.size());
        for (const QString& value : distinct)
            sortKeys.push_back(collator.sortKey(value));
        const auto less = [&](int a, int b) { return sortKeys[a].compare(sortKeys[b]) < 0; };
        std::sort(byOrder.begin(), byOrder.end(), less);
        for (std::size_t i = 0; i < byOrder.size(); ++i)
            rank[byOrder[i]] = i > 0 && !less(byOrder[i - 1], byOrder[i]) ? rank[byOrder[i - 1]] : qint64(i);
    }

    std::vector<qint64> keys(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row)
        keys[std::size_t(row)] = ids[std::size_t(row)] < 0 ? NullKey : rank[std::size_t(ids[std::size_t(row)])];
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
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const qint64 ka = keys[k][std::size_t(a)];
            const qint64 kb = keys[k][std::size_t(b)];
            if (ka != kb)
                return descending[k] ? kb < ka : ka < kb;
        }
        return false;
    });
}
