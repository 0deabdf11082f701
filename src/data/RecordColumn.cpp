#include "data/RecordColumn.h"

#include "data/DataErrors.h"

#include <limits>

void RecordColumn::appendNullBit(bool null)
{
    if ((size_ & 63) == 0)
        nulls_.push_back(0);
    if (null)
        nulls_.back() |= quint64(1) << (size_ & 63);
    ++size_;
}

void RecordColumn::appendNull()
{
    switch (storage_) {
    case Storage::Integer:
        integers_.push_back(0);
        break;
    case Storage::Real:
        reals_.push_back(0);
        break;
    case Storage::Text:
        ends_.push_back(quint32(chars_.size()));
        break;
    }
    appendNullBit(true);
}

void RecordColumn::appendInteger(qint64 value)
{
    integers_.push_back(value);
    appendNullBit(false);
}

void RecordColumn::appendReal(double value)
{
    reals_.push_back(value);
    appendNullBit(false);
}

void RecordColumn::appendText(const char16_t* text, qsizetype length)
{
    if (chars_.size() + std::size_t(length) > std::numeric_limits<quint32>::max())
        throw DataError(QStringLiteral("The result set is too large: one column holds more than 4 billion characters"));
    chars_.append(text, std::size_t(length));
    ends_.push_back(quint32(chars_.size()));
    appendNullBit(false);
}

void RecordColumn::squeeze()
{
    nulls_.shrinkToFit();
    integers_.shrinkToFit();
    reals_.shrinkToFit();
    chars_.shrinkToFit();
    ends_.shrinkToFit();
}

qsizetype RecordColumn::bytesUsed() const
{
    return qsizetype(nulls_.capacity() * sizeof(quint64) + integers_.capacity() * sizeof(qint64)
                     + reals_.capacity() * sizeof(double) + chars_.capacity() * sizeof(char16_t)
                     + ends_.capacity() * sizeof(quint32));
}
