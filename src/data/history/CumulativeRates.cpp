#include "data/history/CumulativeRates.h"

#include "data/history/RowKeys.h"
#include "data/records/FieldKinds.h"
#include "data/records/RecordSet.h"

#include <QHashFunctions>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();

QStringList WithoutRepeats(const QStringList& names)
{
    QStringList kept;
    for (const QString& name : names) {
        if (!kept.contains(name, Qt::CaseInsensitive))
            kept << name;
    }
    return kept;
}

// Numbers are read as they are held; text (SQL Server's sp_who2 gives its totals as varchar) as a
// number in the C form, blanks around it allowed. NaN for a null and for text that is no number.
bool Readable(const FieldKind& kind)
{
    return kind.number || kind.form == ValueForm::Text;
}

double CumulativeValue(const RecordColumn& column, int row)
{
    if (column.isNull(row))
        return NoValue;
    switch (column.storage()) {
    case RecordColumn::Storage::Integer:
        return double(column.integer(row));
    case RecordColumn::Storage::Real:
        return column.real(row);
    case RecordColumn::Storage::Text:
        break;
    }
    // Read as bytes: Qt's own reading of a number costs many times more, and a refresh may hold
    // hundreds of thousands of these. A one-byte column is read in place.
    char bytes[64];
    const char* begin = bytes;
    const char* end = bytes;
    if (!column.wide()) {
        const QLatin1StringView text = column.latin1Text(row).trimmed();
        begin = text.data();
        end = begin + text.size();
    } else {
        const QStringView text = column.utf16Text(row).trimmed();
        if (text.size() > qsizetype(sizeof bytes))
            return NoValue;
        qsizetype size = 0;
        for (const QChar c : text) {
            if (c.unicode() >= 0x80)
                return NoValue;
            bytes[size++] = char(c.unicode());
        }
        end = bytes + size;
    }
    if (begin == end)
        return NoValue;
    if (*begin == '+' && end - begin > 1 && begin[1] != '-')
        ++begin;
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    return error == std::errc() && stop == end && std::isfinite(value) ? value : NoValue;
}

} // namespace

CumulativeRates::CumulativeRates(QStringList keyColumns, QStringList cumulativeColumns)
    : keyColumns_(WithoutRepeats(keyColumns)), cumulativeColumns_(WithoutRepeats(cumulativeColumns))
{
}

QString CumulativeRates::rateColumnName(const QString& cumulativeColumn)
{
    return cumulativeColumn + QStringLiteral("/с");
}

std::unique_ptr<RecordSet> CumulativeRates::apply(std::unique_ptr<RecordSet> records, qint64 milliseconds)
{
    problems_ = {};
    std::vector<int> keys;
    for (const QString& name : keyColumns_) {
        const int index = FieldIndexIn(*records, name);
        if (index < 0)
            problems_.missingColumns << name;
        else
            keys.push_back(index);
    }
    // Result columns of the cumulative values, in the result's order.
    std::vector<int> cumulative;
    for (const QString& name : cumulativeColumns_) {
        const int index = FieldIndexIn(*records, name);
        if (index < 0)
            problems_.missingColumns << name;
        else if (!Readable(FieldKindOf(records->field(index).type)))
            problems_.unusableColumns << records->field(index).name;
        else
            cumulative.push_back(index);
    }
    std::sort(cumulative.begin(), cumulative.end());
    problems_.noKeyColumns = keyColumns_.isEmpty() && active();
    if (keyColumns_.isEmpty() || keys.size() != std::size_t(keyColumns_.size()) || cumulative.empty()) {
        hasPrevious_ = false;
        previous_ = KeyedValues();
        spare_ = KeyedValues();
        previousColumns_.clear();
        return records;
    }

    const int rows = records->rowCount();
    const int width = int(cumulative.size());
    const double seconds = double(milliseconds - previousTime_) / 1000.0;
    const bool matched = hasPrevious_ && previousColumns_ == cumulative && seconds > 0;
    // Much the keys of the last refresh again.
    KeyedValues current = std::move(spare_);
    current.reset(width, rows, matched ? previous_.chars() + previous_.chars() / 8 : 0);
    // Per row: its entry in current, and its previous refresh's entry or -1; per entry, whether
    // its key repeats.
    std::vector<int>& entries = entries_;
    std::vector<int>& before = before_;
    std::vector<char>& repeated = repeated_;
    entries.assign(std::size_t(rows), 0);
    before.assign(std::size_t(rows), -1);
    repeated.clear();
    repeated.reserve(std::size_t(rows));
    {
        KeyText key;
        TextScratch scratch;
        int hint = 0;
        for (int row = 0; row < rows; ++row) {
            key.clear();
            AppendRowKey(*records, row, keys, scratch, key);
            const QStringView text(key.data(), key.size());
            const std::size_t hash = qHash(text);
            const int entry = current.insert(text, hash);
            if (entry < 0) {
                entries[std::size_t(row)] = -1 - entry;
                repeated[std::size_t(-1 - entry)] = 1;
                continue;
            }
            entries[std::size_t(row)] = entry;
            repeated.push_back(0);
            double* values = current.values(entry);
            for (int c = 0; c < width; ++c)
                values[c] = CumulativeValue(records->column(cumulative[std::size_t(c)]), row);
            if (matched) {
                const int earlier = previous_.find(text, hash, hint);
                before[std::size_t(row)] = earlier;
                if (earlier >= 0)
                    hint = earlier + 1;
            }
        }
    }

    // The new rows: every column moved over, a rate column after each cumulative one.
    QList<FieldInfo> fields;
    std::vector<int> rateColumns;
    for (int i = 0; i < records->fieldCount(); ++i) {
        fields.append(records->field(i));
        if (std::find(cumulative.begin(), cumulative.end(), i) != cumulative.end()) {
            FieldInfo rate;
            rate.name = rateColumnName(records->field(i).name);
            rate.type = FieldType::Float;
            rate.typeName = QStringLiteral("float");
            rateColumns.push_back(int(fields.size()));
            fields.append(rate);
        }
    }
    auto out = std::make_unique<RecordSet>(fields);
    for (int i = 0, to = 0; i < records->fieldCount(); ++i, ++to) {
        out->column(to) = std::move(records->column(i));
        if (std::find(cumulative.begin(), cumulative.end(), i) != cumulative.end())
            ++to;
    }
    records.reset();

    for (int c = 0; c < width; ++c) {
        RecordColumn& rates = out->column(rateColumns[std::size_t(c)]);
        for (int row = 0; row < rows; ++row) {
            const int entry = entries[std::size_t(row)];
            const int earlier = before[std::size_t(row)];
            if (repeated[std::size_t(entry)] || earlier < 0) {
                rates.appendNull();
                continue;
            }
            const double now = current.values(entry)[c];
            const double then = previous_.values(earlier)[c];
            // NaN fails both comparisons: a value missing on either side gives no rate.
            if (now >= then)
                rates.appendReal((now - then) / seconds);
            else
                rates.appendNull();
        }
        rates.squeeze();
    }
    for (int row = 0; row < rows; ++row) {
        if (repeated[std::size_t(entries[std::size_t(row)])])
            ++problems_.repeatedKeyRows;
    }
    // A repeated key matches nothing in the next refresh either.
    for (int entry = 0; entry < current.size(); ++entry) {
        if (repeated[std::size_t(entry)])
            std::fill_n(current.values(entry), width, NoValue);
    }
    spare_ = std::exchange(previous_, std::move(current));
    previousColumns_ = std::move(cumulative);
    previousTime_ = milliseconds;
    hasPrevious_ = true;
    return out;
}
