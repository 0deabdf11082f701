#pragma once

#include "data/ColumnBuffer.h"

#include <QStringView>
#include <QtGlobal>

// The values of one column of a record set, appended row by row as blocks arrive: numbers in a
// typed array, text in one UTF-16 buffer with end offsets, and one null bit per row. A cell costs
// its payload plus a few bytes, where a QString or QVariant per cell would cost several times that.
class RecordColumn {
public:
    enum class Storage { Integer, Real, Text };

    explicit RecordColumn(Storage storage) : storage_(storage) {}

    Storage storage() const { return storage_; }
    int size() const { return size_; }

    void appendNull();
    void appendInteger(qint64 value);
    void appendReal(double value);
    void appendText(const char16_t* text, qsizetype length);

    bool isNull(int row) const { return (nulls_[std::size_t(row) >> 6] >> (row & 63)) & 1u; }
    qint64 integer(int row) const { return integers_[std::size_t(row)]; }
    double real(int row) const { return reals_[std::size_t(row)]; }
    QStringView text(int row) const
    {
        const quint32 begin = row == 0 ? 0 : ends_[std::size_t(row) - 1];
        return QStringView(chars_.data() + begin, qsizetype(ends_[std::size_t(row)] - begin));
    }

    // Gives back the room growth reserved ahead, once the last row is in.
    void squeeze();

    // Bytes held, for the memory figures of the benchmark.
    qsizetype bytesUsed() const;

private:
    void appendNullBit(bool null);

    Storage storage_;
    int size_ = 0;
    ColumnBuffer<quint64> nulls_;
    ColumnBuffer<qint64> integers_;
    ColumnBuffer<double> reals_;
    ColumnBuffer<char16_t> chars_;
    ColumnBuffer<quint32> ends_;
};
