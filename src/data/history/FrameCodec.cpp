#include "data/history/FrameCodec.h"

#include "data/DataErrors.h"
#include "data/records/FieldKinds.h"
#include "data/records/RecordSet.h"

#include <QVarLengthArray>
#include <QtEndian>
#include <cstring>
#include <limits>

// A frame's data: the magic, the version, the kind (0 keyframe, 1 delta), then the body compressed
// by qCompress. The body, in varints (signed ones zigzagged): the rows and fields; a keyframe's
// fields, a delta's row of the frame before per row (as its distance from the row after the last
// one continued, 0 for rows in the same order); then column by column a delta's rows whose cell
// changed (as gaps), the column's text form and the cells stored: a delta's new and changed rows,
// a keyframe's all. Column by column, because a column's values resemble each other and compress.
namespace {

constexpr char Magic[] = {'Q', 'H', 'F'};
constexpr char Version = 1;
constexpr int HeaderSize = sizeof Magic + 2;
enum Kind : char { KeyframeKind = 0, DeltaKind = 1 };
// The fastest level: on the history benchmark's session list, level 6 saves only 6 % of the bytes.
constexpr int CompressionLevel = 1;
// Deflate never packs more than about a thousand bytes into one.
constexpr qint64 MostInflation = 1100;

class BodyWriter {
public:
    explicit BodyWriter(qsizetype expected) { bytes_.reserve(expected); }

    void byte(char value) { bytes_.append(value); }
    void number(quint64 value)
    {
        char buffer[10];
        int size = 0;
        while (value >= 0x80) {
            buffer[size++] = char(value | 0x80);
            value >>= 7;
        }
        buffer[size++] = char(value);
        bytes_.append(buffer, size);
    }
    void signedNumber(qint64 value) { number((quint64(value) << 1) ^ quint64(value >> 63)); }
    void raw(const void* data, qsizetype size) { bytes_.append(static_cast<const char*>(data), size); }
    void text(const QString& value)
    {
        number(quint64(value.size()));
        raw(value.utf16(), value.size() * 2);
    }
    QByteArray& bytes() { return bytes_; }

private:
    QByteArray bytes_;
};

[[noreturn]] void Malformed()
{
    throw DataError(QStringLiteral("A history frame is damaged: its data cannot be read"));
}

class BodyReader {
public:
    explicit BodyReader(const QByteArray& bytes)
        : at_(reinterpret_cast<const uchar*>(bytes.constData())), end_(at_ + bytes.size())
    {
    }

    qsizetype left() const { return end_ - at_; }
    bool atEnd() const { return at_ == end_; }
    uchar byte()
    {
        if (at_ == end_)
            Malformed();
        return *at_++;
    }
    quint64 number()
    {
        quint64 value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uchar next = byte();
            if (shift == 63 && next > 1)
                Malformed();
            value |= quint64(next & 0x7f) << shift;
            if (!(next & 0x80))
                return value;
        }
        Malformed();
    }
    qint64 signedNumber()
    {
        const quint64 value = number();
        return qint64(value >> 1) ^ -qint64(value & 1);
    }
    // A count of items of at least itemBytes each that the rest of the body holds.
    int count(qsizetype itemBytes = 1)
    {
        const quint64 value = number();
        if (value > quint64(left() / itemBytes) || value > quint64(std::numeric_limits<int>::max()))
            Malformed();
        return int(value);
    }
    int bounded(int most)
    {
        const quint64 value = number();
        if (value > quint64(most))
            Malformed();
        return int(value);
    }
    const uchar* raw(qsizetype size)
    {
        if (size > left())
            Malformed();
        const uchar* data = at_;
        at_ += size;
        return data;
    }
    QString text()
    {
        const int length = count(2);
        QString value(length, Qt::Uninitialized);
        std::memcpy(value.data(), raw(qsizetype(length) * 2), std::size_t(length) * 2);
        return value;
    }

private:
    const uchar* at_;
    const uchar* end_;
};

// A cell of an integer column that continues a cell of the frame before is stored as its change
// from it: running totals then take a byte or two.
void WriteCell(BodyWriter& out, const RecordColumn& column, int row, const RecordColumn* before, int beforeRow)
{
    if (column.isNull(row)) {
        out.byte(0);
        return;
    }
    switch (column.storage()) {
    case RecordColumn::Storage::Integer: {
        const bool relative = before && !before->isNull(beforeRow);
        out.byte(relative ? 2 : 1);
        const quint64 base = relative ? quint64(before->integer(beforeRow)) : 0;
        out.signedNumber(qint64(quint64(column.integer(row)) - base));
        if (column.withOffsets())
            out.signedNumber(column.offsetDateTime(row).offsetMinutes);
        return;
    }
    case RecordColumn::Storage::Real: {
        out.byte(1);
        const double value = column.real(row);
        out.raw(&value, sizeof value);
        return;
    }
    case RecordColumn::Storage::Text:
        break;
    }
    out.byte(1);
    if (column.wide()) {
        const QStringView text = column.utf16Text(row);
        out.number(quint64(text.size()));
        out.raw(text.utf16(), text.size() * 2);
    } else {
        const QLatin1StringView text = column.latin1Text(row);
        out.number(quint64(text.size()));
        out.raw(text.data(), text.size());
    }
}

void ReadCell(BodyReader& in, RecordColumn& column, bool wide, const RecordColumn* before, int beforeRow)
{
    const uchar tag = in.byte();
    if (tag == 0) {
        column.appendNull();
        return;
    }
    const bool relative = tag == 2;
    if (tag > 2 || (relative && (column.storage() != RecordColumn::Storage::Integer || !before || before->isNull(beforeRow))))
        Malformed();
    switch (column.storage()) {
    case RecordColumn::Storage::Integer: {
        const quint64 base = relative ? quint64(before->integer(beforeRow)) : 0;
        const qint64 value = qint64(base + quint64(in.signedNumber()));
        if (column.withOffsets()) {
            const qint64 offset = in.signedNumber();
            if (offset < -32768 || offset > 32767)
                Malformed();
            column.appendOffsetDateTime({value, int(offset)});
        } else {
            column.appendInteger(value);
        }
        return;
    }
    case RecordColumn::Storage::Real: {
        double value;
        std::memcpy(&value, in.raw(sizeof value), sizeof value);
        column.appendReal(value);
        return;
    }
    case RecordColumn::Storage::Text:
        break;
    }
    if (wide) {
        const int length = in.count(2);
        const uchar* data = in.raw(qsizetype(length) * 2);
        QVarLengthArray<char16_t, 256> text(length);
        std::memcpy(text.data(), data, std::size_t(length) * 2);
        column.appendText(text.data(), length);
    } else {
        const int length = in.count();
        column.appendLatin1(reinterpret_cast<const char*>(in.raw(length)), length);
    }
}

void WriteField(BodyWriter& out, const FieldInfo& field)
{
    out.text(field.name);
    out.number(quint64(field.type));
    out.signedNumber(field.sqlType);
    out.text(field.typeName);
    out.signedNumber(field.size);
    out.signedNumber(field.decimals);
}

FieldInfo ReadField(BodyReader& in)
{
    FieldInfo field;
    field.name = in.text();
    field.type = FieldType(in.bounded(int(FieldTypeCount) - 1));
    const auto smallNumber = [&in] {
        const qint64 value = in.signedNumber();
        if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
            Malformed();
        return int(value);
    };
    field.sqlType = smallNumber();
    field.typeName = in.text();
    field.size = in.signedNumber();
    field.decimals = smallNumber();
    return field;
}

HistoryFrame Finish(BodyWriter& body, Kind kind, const RecordSet& records, qint64 time)
{
    HistoryFrame frame;
    frame.time = time;
    frame.keyframe = kind == KeyframeKind;
    frame.rowCount = records.rowCount();
    const QByteArray packed = qCompress(body.bytes(), CompressionLevel);
    frame.data.reserve(HeaderSize + packed.size());
    frame.data.append(Magic, sizeof Magic).append(Version).append(char(kind)).append(packed);
    return frame;
}

QByteArray Unpacked(const HistoryFrame& frame)
{
    const QByteArray& data = frame.data;
    if (data.size() < HeaderSize + 4 || std::memcmp(data.constData(), Magic, sizeof Magic) != 0
        || data[sizeof Magic] != Version || data[sizeof Magic + 1] != char(frame.keyframe ? KeyframeKind : DeltaKind))
        Malformed();
    // qUncompress reserves what the data claims; a damaged claim must not ask for gigabytes.
    const qint64 claimed = qFromBigEndian<quint32>(data.constData() + HeaderSize);
    if (claimed == 0 || claimed > (data.size() - HeaderSize) * MostInflation)
        Malformed();
    const QByteArray body = qUncompress(reinterpret_cast<const uchar*>(data.constData()) + HeaderSize,
                                        data.size() - HeaderSize);
    if (body.isEmpty())
        Malformed();
    return body;
}

qsizetype ExpectedBody(const RecordSet& records, int storedRows)
{
    return qsizetype(storedRows) * records.fieldCount() * 6 + records.rowCount() + 256;
}

} // namespace

bool DeltaFits(const RecordSet& records, const RecordSet& before)
{
    if (records.fieldCount() != before.fieldCount())
        return false;
    for (int c = 0; c < records.fieldCount(); ++c) {
        const FieldInfo& a = records.field(c);
        const FieldInfo& b = before.field(c);
        if (a.name != b.name || a.type != b.type || a.sqlType != b.sqlType || a.typeName != b.typeName
            || a.size != b.size || a.decimals != b.decimals)
            return false;
    }
    return true;
}

HistoryFrame EncodeKeyframe(const RecordSet& records, qint64 time)
{
    const int rows = records.rowCount();
    BodyWriter out(ExpectedBody(records, rows));
    out.number(quint64(rows));
    out.number(quint64(records.fieldCount()));
    for (int c = 0; c < records.fieldCount(); ++c)
        WriteField(out, records.field(c));
    for (int c = 0; c < records.fieldCount(); ++c) {
        const RecordColumn& column = records.column(c);
        out.byte(column.wide() ? 1 : 0);
        for (int row = 0; row < rows; ++row)
            WriteCell(out, column, row, nullptr, 0);
    }
    return Finish(out, KeyframeKind, records, time);
}

HistoryFrame EncodeDelta(const RecordSet& records, const RecordSet& before, const std::vector<int>& beforeRows,
                         qint64 time)
{
    if (!DeltaFits(records, before))
        return EncodeKeyframe(records, time);
    const int rows = records.rowCount();
    if (beforeRows.size() != std::size_t(rows))
        throw DataError(QStringLiteral("A history delta needs a row of the frame before for every row"));
    BodyWriter out(ExpectedBody(records, rows / 8));
    out.number(quint64(rows));
    out.number(quint64(records.fieldCount()));
    int expected = 0;
    for (int row = 0; row < rows; ++row) {
        const int earlier = beforeRows[std::size_t(row)];
        out.signedNumber(qint64(earlier) - expected);
        if (earlier >= 0)
            expected = earlier + 1;
    }
    std::vector<int> changed;
    for (int c = 0; c < records.fieldCount(); ++c) {
        const RecordColumn& column = records.column(c);
        const RecordColumn& earlier = before.column(c);
        changed.clear();
        for (int row = 0; row < rows; ++row) {
            const int from = beforeRows[std::size_t(row)];
            if (from >= 0 && !column.sameCell(row, earlier, from))
                changed.push_back(row);
        }
        out.number(changed.size());
        int last = -1;
        for (const int row : changed) {
            out.number(quint64(row - last - 1));
            last = row;
        }
        out.byte(column.wide() ? 1 : 0);
        for (int row = 0; row < rows; ++row) {
            const int from = beforeRows[std::size_t(row)];
            if (from < 0)
                WriteCell(out, column, row, nullptr, 0);
        }
        for (const int row : changed)
            WriteCell(out, column, row, &earlier, beforeRows[std::size_t(row)]);
    }
    return Finish(out, DeltaKind, records, time);
}

std::unique_ptr<RecordSet> DecodeFrame(const HistoryFrame& frame, const RecordSet* before)
{
    std::unique_ptr<RecordSet> records = DecodeFrame(frame, before, nullptr);
    records->squeeze();
    return records;
}

std::unique_ptr<RecordSet> DecodeFrame(const HistoryFrame& frame, const RecordSet* before,
                                       std::unique_ptr<RecordSet> room)
{
    if (!frame.keyframe && !before)
        throw DataError(QStringLiteral("A history frame cannot be read without the frame before it"));
    const QByteArray body = Unpacked(frame);
    BodyReader in(body);
    const int rows = in.count();
    const int fieldCount = in.count();
    if (rows != frame.rowCount || (fieldCount == 0 && rows != 0))
        Malformed();

    std::unique_ptr<RecordSet> records;
    const auto holding = [&records, &room](QList<FieldInfo> fields) {
        if (room) {
            records = std::move(room);
            records->reset(std::move(fields));
        } else {
            records = std::make_unique<RecordSet>(std::move(fields));
        }
    };
    std::vector<int> beforeRows;
    if (frame.keyframe) {
        QList<FieldInfo> fields;
        for (int c = 0; c < fieldCount; ++c)
            fields.append(ReadField(in));
        holding(std::move(fields));
    } else {
        if (fieldCount != before->fieldCount())
            Malformed();
        QList<FieldInfo> fields;
        for (int c = 0; c < fieldCount; ++c) {
            fields.append(before->field(c));
            fields.back().tag = 0;
        }
        holding(std::move(fields));
        beforeRows.resize(std::size_t(rows));
        qint64 expected = 0;
        for (int row = 0; row < rows; ++row) {
            const qint64 earlier = expected + in.signedNumber();
            if (earlier < -1 || earlier >= before->rowCount())
                Malformed();
            beforeRows[std::size_t(row)] = int(earlier);
            if (earlier >= 0)
                expected = earlier + 1;
        }
    }

    std::vector<int> changed;
    for (int c = 0; c < fieldCount; ++c) {
        RecordColumn& column = records->column(c);
        if (frame.keyframe) {
            const bool wide = in.bounded(1);
            column.reserve(rows, 0);
            for (int row = 0; row < rows; ++row)
                ReadCell(in, column, wide, nullptr, 0);
            continue;
        }
        const RecordColumn& earlier = before->column(c);
        column.reserve(rows, earlier.textLength() + earlier.textLength() / 8);
        changed.resize(std::size_t(in.count()));
        int last = -1;
        for (int& row : changed) {
            const int room = rows - last - 1;
            if (room <= 0)
                Malformed();
            row = last + 1 + in.bounded(room - 1);
            if (beforeRows[std::size_t(row)] < 0)
                Malformed();
            last = row;
        }
        const bool wide = in.bounded(1);
        // The new rows' cells come first, then the changed ones': read them in that order, append
        // them in the rows' order.
        RecordColumn fresh(column.storage(), column.withOffsets());
        for (int row = 0; row < rows; ++row) {
            if (beforeRows[std::size_t(row)] < 0)
                ReadCell(in, fresh, wide, nullptr, 0);
        }
        const int freshRows = fresh.size();
        for (const int row : changed)
            ReadCell(in, fresh, wide, &earlier, beforeRows[std::size_t(row)]);
        int nextFresh = 0;
        int nextChanged = freshRows;
        auto change = changed.begin();
        for (int row = 0; row < rows;) {
            const int from = beforeRows[std::size_t(row)];
            if (from < 0) {
                column.appendCell(fresh, nextFresh++);
                ++row;
            } else if (change != changed.end() && *change == row) {
                column.appendCell(fresh, nextChanged++);
                ++change;
                ++row;
            } else {
                // Unchanged rows in the order before: a block copied at once.
                const int stop = change == changed.end() ? rows : *change;
                int run = 1;
                while (row + run < stop && beforeRows[std::size_t(row + run)] == from + run)
                    ++run;
                column.appendCells(earlier, from, run);
                row += run;
            }
        }
    }
    if (!in.atEnd())
        Malformed();
    return records;
}
