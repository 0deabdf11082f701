#include "data/history/CumulativeRates.h"

#include "data/records/FieldKinds.h"
#include "data/records/RecordSet.h"

#include <QHashFunctions>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();

int FieldIndexIn(const RecordSet& records, const QString& name)
{
    for (int i = 0; i < records.fieldCount(); ++i) {
        if (records.field(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

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

double CumulativeValue(const RecordColumn& column, int row, TextScratch& scratch)
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
    bool ok = false;
    const double value = column.text(row, scratch).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : NoValue;
}

// The key as the grid shows its cells, each cell's text after its length, so that no two
// different rows of cells make the same key.
void AppendKeyPart(const RecordSet& records, int row, int column, TextScratch& scratch, QString& key)
{
    const RecordColumn& cells = records.column(column);
    const auto appendLength = [&key](qsizetype length) {
        key.append(QChar(char16_t(length & 0xffff)));
        key.append(QChar(char16_t((length >> 16) & 0xffff)));
    };
    if (FieldKindOf(records.field(column).type).form == ValueForm::Text) {
        // Text shows as it is held: read in place.
        const QStringView text = cells.isNull(row) ? QStringView() : cells.text(row, scratch);
        appendLength(text.size());
        key.append(text);
        return;
    }
    const QString text = records.displayText(row, column);
    appendLength(text.size());
    key.append(text);
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
        previousColumns_.clear();
        return records;
    }

    const int rows = records->rowCount();
    const int width = int(cumulative.size());
    const double seconds = double(milliseconds - previousTime_) / 1000.0;
    const bool matched = hasPrevious_ && previousColumns_ == cumulative && seconds > 0;
    KeyedValues current(width, rows);
    // Per row: its entry in current, and its previous refresh's entry or -1.
    std::vector<int> entries(static_cast<std::size_t>(rows));
    std::vector<int> before(std::size_t(rows), -1);
    std::vector<char> repeated;
    repeated.reserve(std::size_t(rows));
    {
        QString key;
        TextScratch scratch;
        for (int row = 0; row < rows; ++row) {
            key.clear();
            for (const int column : keys)
                AppendKeyPart(*records, row, column, scratch, key);
            const std::size_t hash = qHash(QStringView(key));
            const int entry = current.insert(key, hash);
            if (entry < 0) {
                entries[std::size_t(row)] = -1 - entry;
                repeated[std::size_t(-1 - entry)] = 1;
                continue;
            }
            entries[std::size_t(row)] = entry;
            repeated.push_back(0);
            double* values = current.values(entry);
            for (int c = 0; c < width; ++c)
                values[c] = CumulativeValue(records->column(cumulative[std::size_t(c)]), row, scratch);
            if (matched)
                before[std::size_t(row)] = previous_.find(key, hash);
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
    previous_ = std::move(current);
    previousColumns_ = std::move(cumulative);
    previousTime_ = milliseconds;
    hasPrevious_ = true;
    return out;
}
