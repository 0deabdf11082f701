#include "data/records/RecordColumn.h"

#include "data/DataErrors.h"

#include <limits>

void RecordColumn::appendNull()
{
    switch (storage_) {
    case Storage::Integer:
        integers_.push_back(0);
        if (withOffsets_)
            offsets_.push_back(0);
        break;
    case Storage::Real:
        reals_.push_back(0);
        break;
    case Storage::Text:
        ends_.push_back(ends_.empty() ? 0 : ends_.back());
        break;
    }
    appendNullBit(true);
}

std::size_t RecordColumn::endAfter(qsizetype length) const
{
    const std::size_t end = (ends_.empty() ? 0 : ends_.back()) + std::size_t(length);
    if (end > std::numeric_limits<quint32>::max())
        throw DataError(QStringLiteral("The result set is too large: one column holds more than 4 billion characters"));
    return end;
}

void RecordColumn::appendText(const char16_t* text, qsizetype length)
{
    const std::size_t end = endAfter(length);
    if (!wide_) {
        const std::size_t start = bytes_.size();
        bytes_.resize(start + std::size_t(length));
        char* out = bytes_.data() + start;
        char16_t beyond = 0;
        for (qsizetype i = 0; i < length; ++i) {
            beyond |= text[i] & 0xff00;
            out[i] = char(text[i]);
        }
        if (beyond != 0) {
            bytes_.resize(start);
            widen();
        }
    }
    if (wide_)
        chars_.append(text, std::size_t(length));
    ends_.push_back(quint32(end));
    appendNullBit(false);
}

void RecordColumn::appendUtf8(const char* text, qsizetype length)
{
    // ASCII, the common case, goes into a one-byte column as it is.
    if (!wide_) {
        bool ascii = true;
        for (qsizetype i = 0; i < length && ascii; ++i)
            ascii = uchar(text[i]) < 0x80;
        if (ascii) {
            appendLatin1(text, length);
            return;
        }
    }
    const QString decoded = QString::fromUtf8(text, length);
    appendText(reinterpret_cast<const char16_t*>(decoded.utf16()), decoded.size());
}

void RecordColumn::appendLatin1(const char* text, qsizetype length)
{
    const std::size_t end = endAfter(length);
    if (!wide_) {
        bytes_.append(text, std::size_t(length));
    } else {
        const std::size_t start = chars_.size();
        chars_.resize(start + std::size_t(length));
        for (qsizetype i = 0; i < length; ++i)
            chars_.data()[start + std::size_t(i)] = char16_t(uchar(text[i]));
    }
    ends_.push_back(quint32(end));
    appendNullBit(false);
}

void RecordColumn::appendCell(const RecordColumn& source, int row)
{
    if (source.isNull(row)) {
        appendNull();
        return;
    }
    switch (storage_) {
    case Storage::Integer:
        if (withOffsets_)
            appendOffsetDateTime(source.offsetDateTime(row));
        else
            appendInteger(source.integer(row));
        break;
    case Storage::Real:
        appendReal(source.real(row));
        break;
    case Storage::Text:
        if (source.wide()) {
            const QStringView text = source.utf16Text(row);
            appendText(text.utf16(), text.size());
        } else {
            const QLatin1StringView text = source.latin1Text(row);
            appendLatin1(text.data(), text.size());
        }
        break;
    }
}

void RecordColumn::widen()
{
    chars_.resize(bytes_.size());
    char16_t* out = chars_.data();
    for (std::size_t i = 0; i < bytes_.size(); ++i)
        out[i] = char16_t(uchar(bytes_[i]));
    bytes_ = ColumnBuffer<char>();
    wide_ = true;
}

QStringView RecordColumn::text(int row, TextScratch& scratch) const
{
    if (wide_)
        return utf16Text(row);
    const QLatin1StringView narrow = latin1Text(row);
    scratch.resize(narrow.size());
    for (qsizetype i = 0; i < narrow.size(); ++i)
        scratch[i] = char16_t(uchar(narrow.data()[i]));
    return QStringView(scratch.data(), scratch.size());
}

void RecordColumn::appendCells(const RecordColumn& source, int first, int count)
{
    if (count <= 0)
        return;
    switch (storage_) {
    case Storage::Integer:
        integers_.append(source.integers_.data() + first, std::size_t(count));
        if (withOffsets_)
            offsets_.append(source.offsets_.data() + first, std::size_t(count));
        break;
    case Storage::Real:
        reals_.append(source.reals_.data() + first, std::size_t(count));
        break;
    case Storage::Text: {
        const quint32 begin = source.textBegin(first);
        const qsizetype length = qsizetype(source.ends_[std::size_t(first + count - 1)] - begin);
        const std::size_t base = endAfter(length) - std::size_t(length);
        if (source.wide_ && !wide_)
            widen();
        if (!wide_) {
            bytes_.append(source.bytes_.data() + begin, std::size_t(length));
        } else if (source.wide_) {
            chars_.append(source.chars_.data() + begin, std::size_t(length));
        } else {
            const std::size_t start = chars_.size();
            chars_.resize(start + std::size_t(length));
            for (qsizetype i = 0; i < length; ++i)
                chars_.data()[start + std::size_t(i)] = char16_t(uchar(source.bytes_[begin + std::size_t(i)]));
        }
        const std::size_t from = ends_.size();
        ends_.resize(from + std::size_t(count));
        for (int i = 0; i < count; ++i)
            ends_.data()[from + std::size_t(i)] = quint32(base + (source.ends_[std::size_t(first + i)] - begin));
        break;
    }
    }
    for (int row = first; row < first + count; ++row)
        appendNullBit(source.isNull(row));
}

bool RecordColumn::sameText(int row, const RecordColumn& other, int otherRow) const
{
    const qsizetype length = textLength(row);
    if (length != other.textLength(otherRow))
        return false;
    if (length == 0)
        return true;
    if (wide_ == other.wide_) {
        return wide_ ? std::memcmp(utf16Text(row).data(), other.utf16Text(otherRow).data(), std::size_t(length) * 2) == 0
                     : std::memcmp(latin1Text(row).data(), other.latin1Text(otherRow).data(), std::size_t(length)) == 0;
    }
    const char* narrow = wide_ ? other.latin1Text(otherRow).data() : latin1Text(row).data();
    const QChar* wide = wide_ ? utf16Text(row).data() : other.utf16Text(otherRow).data();
    for (qsizetype i = 0; i < length; ++i) {
        if (wide[i].unicode() != char16_t(uchar(narrow[i])))
            return false;
    }
    return true;
}

QString RecordColumn::textString(int row) const
{
    return wide_ ? utf16Text(row).toString() : latin1Text(row).toString();
}

void RecordColumn::reserve(int rows, qsizetype textLength)
{
    const std::size_t total = std::size_t(size_) + std::size_t(rows);
    nulls_.reserve((total + 63) / 64);
    switch (storage_) {
    case Storage::Integer:
        integers_.reserve(total);
        if (withOffsets_)
            offsets_.reserve(total);
        break;
    case Storage::Real:
        reals_.reserve(total);
        break;
    case Storage::Text:
        ends_.reserve(total);
        if (wide_)
            chars_.reserve(chars_.size() + std::size_t(textLength));
        else
            bytes_.reserve(bytes_.size() + std::size_t(textLength));
        break;
    }
}

void RecordColumn::clear()
{
    size_ = 0;
    wide_ = false;
    nulls_.resize(0);
    integers_.resize(0);
    offsets_.resize(0);
    reals_.resize(0);
    bytes_.resize(0);
    chars_.resize(0);
    ends_.resize(0);
}

void RecordColumn::squeeze()
{
    nulls_.shrinkToFit();
    integers_.shrinkToFit();
    offsets_.shrinkToFit();
    reals_.shrinkToFit();
    bytes_.shrinkToFit();
    chars_.shrinkToFit();
    ends_.shrinkToFit();
}

qsizetype RecordColumn::bytesUsed() const
{
    return qsizetype(nulls_.capacity() * sizeof(quint64) + integers_.capacity() * sizeof(qint64)
                     + offsets_.capacity() * sizeof(qint16)
                     + reals_.capacity() * sizeof(double) + bytes_.capacity() + chars_.capacity() * sizeof(char16_t)
                     + ends_.capacity() * sizeof(quint32));
}
