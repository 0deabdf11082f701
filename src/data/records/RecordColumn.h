#pragma once

#include "data/records/ColumnBuffer.h"
#include "data/records/TemporalValue.h"

#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <QtGlobal>
#include <cstring>

// Room for a short text read out of a one-byte column as UTF-16, on the caller's stack.
using TextScratch = QVarLengthArray<char16_t, 64>;

// The values of one column of a record set, appended row by row as blocks arrive: numbers in a
// typed array, text in one buffer with end offsets, and one null bit per row. A cell costs its
// payload plus a few bytes, where a QString or QVariant per cell would cost several times that.
// Text is held one byte a character for as long as every value of the column is Latin-1, which
// halves the commonest columns; the first value beyond that widens the column to UTF-16.
class RecordColumn {
public:
    enum class Storage { Integer, Real, Text };

    // A column of date-times with offsets keeps each offset beside its instant (Integer storage).
    explicit RecordColumn(Storage storage, bool withOffsets = false) : storage_(storage), withOffsets_(withOffsets) {}

    Storage storage() const { return storage_; }
    bool withOffsets() const { return withOffsets_; }
    int size() const { return size_; }

    void appendNull();
    void appendInteger(qint64 value)
    {
        integers_.push_back(value);
        appendNullBit(false);
    }
    void appendReal(double value)
    {
        reals_.push_back(value);
        appendNullBit(false);
    }
    void appendOffsetDateTime(const OffsetDateTime& value)
    {
        integers_.push_back(value.utcTicks);
        offsets_.push_back(qint16(value.offsetMinutes));
        appendNullBit(false);
    }
    void appendText(const char16_t* text, qsizetype length);
    void appendUtf8(const char* text, qsizetype length);
    void appendLatin1(const char* text, qsizetype length);
    // Appends the cell of row of source, a column of the same storage.
    void appendCell(const RecordColumn& source, int row);
    // Appends count cells of source from first on, a column of the same storage, a block at a time.
    void appendCells(const RecordColumn& source, int first, int count);

    bool isNull(int row) const { return (nulls_[std::size_t(row) >> 6] >> (row & 63)) & 1u; }
    qint64 integer(int row) const { return integers_[std::size_t(row)]; }
    double real(int row) const { return reals_[std::size_t(row)]; }
    OffsetDateTime offsetDateTime(int row) const { return {integers_[std::size_t(row)], offsets_[std::size_t(row)]}; }

    bool wide() const { return wide_; }
    // The text of a row in the form the column holds: latin1Text() while !wide(), else utf16Text().
    QLatin1StringView latin1Text(int row) const
    {
        return QLatin1StringView(bytes_.data() + textBegin(row), textLength(row));
    }
    QStringView utf16Text(int row) const { return QStringView(chars_.data() + textBegin(row), textLength(row)); }
    // Either form as UTF-16: a one-byte text is widened into scratch, which must outlive the view.
    QStringView text(int row, TextScratch& scratch) const;
    QString textString(int row) const;

    // Whether the cell of row holds what the cell of otherRow of other, a column of the same
    // storage, holds: both null, or the same value (a real to the bit, a text whichever its form).
    bool sameCell(int row, const RecordColumn& other, int otherRow) const
    {
        const bool null = isNull(row);
        if (null != other.isNull(otherRow))
            return false;
        if (null)
            return true;
        switch (storage_) {
        case Storage::Integer:
            return integers_[std::size_t(row)] == other.integers_[std::size_t(otherRow)]
                && (!withOffsets_ || offsets_[std::size_t(row)] == other.offsets_[std::size_t(otherRow)]);
        case Storage::Real:
            return std::memcmp(&reals_[std::size_t(row)], &other.reals_[std::size_t(otherRow)], sizeof(double)) == 0;
        case Storage::Text:
            break;
        }
        return sameText(row, other, otherRow);
    }

    // Calls differs(i) for each i below count where the cell of row first + i does not hold what the
    // cell of row otherFirst + i of other holds, as sameCell tells: rows that kept their order, read
    // straight through without a switch per cell.
    template <typename Differs>
    void compareRun(int first, const RecordColumn& other, int otherFirst, int count, Differs&& differs) const
    {
        const auto nullsDiffer = [&](int i, bool valuesDiffer) {
            const bool null = isNull(first + i);
            return null != other.isNull(otherFirst + i) || (valuesDiffer && !null);
        };
        if (storage_ == Storage::Integer && !withOffsets_) {
            const qint64* mine = integers_.data() + first;
            const qint64* theirs = other.integers_.data() + otherFirst;
            for (int i = 0; i < count; ++i) {
                if (nullsDiffer(i, mine[i] != theirs[i]))
                    differs(i);
            }
        } else if (storage_ == Storage::Real) {
            const double* mine = reals_.data() + first;
            const double* theirs = other.reals_.data() + otherFirst;
            for (int i = 0; i < count; ++i) {
                if (nullsDiffer(i, std::memcmp(mine + i, theirs + i, sizeof(double)) != 0))
                    differs(i);
            }
        } else {
            for (int i = 0; i < count; ++i) {
                if (!sameCell(first + i, other, otherFirst + i))
                    differs(i);
            }
        }
    }

    // Room for rows more rows holding text of textLength characters in all.
    void reserve(int rows, qsizetype textLength);
    // Characters of text held, all rows together.
    qsizetype textLength() const { return ends_.empty() ? 0 : qsizetype(ends_.back()); }

    // Empties it, keeping the room it has: rows appended again fault in no fresh pages.
    void clear();

    // Gives back the room growth reserved ahead, once the last row is in.
    void squeeze();

    // Bytes held, for the memory figures of the benchmark.
    qsizetype bytesUsed() const;

private:
    void appendNullBit(bool null)
    {
        if ((size_ & 63) == 0)
            nulls_.push_back(0);
        if (null)
            nulls_.back() |= quint64(1) << (size_ & 63);
        ++size_;
    }
    bool sameText(int row, const RecordColumn& other, int otherRow) const;
    std::size_t endAfter(qsizetype length) const;
    void widen();
    quint32 textBegin(int row) const { return row == 0 ? 0 : ends_[std::size_t(row) - 1]; }
    qsizetype textLength(int row) const { return qsizetype(ends_[std::size_t(row)] - textBegin(row)); }

    Storage storage_;
    bool withOffsets_;
    int size_ = 0;
    bool wide_ = false;
    ColumnBuffer<quint64> nulls_;
    ColumnBuffer<qint64> integers_;
    ColumnBuffer<qint16> offsets_;
    ColumnBuffer<double> reals_;
    ColumnBuffer<char> bytes_;
    ColumnBuffer<char16_t> chars_;
    ColumnBuffer<quint32> ends_;
};
