// History frames. Any data, as a frame's whole data or as a body packed behind a valid header, is
// read without a fault: refused with DataError, or read to a result of the rows the frame tells,
// which a keyframe keeps cell for cell.
//   input: a byte of flags (1 keyframe, 2 the rest is a body to pack), a byte of the row count, the data

#include "FuzzCheck.h"
#include "data/DataErrors.h"
#include "data/history/FrameCodec.h"
#include "data/records/RecordSet.h"

#include <string>

namespace {

// The frame before a delta: an integer, a text of each form and a date-time with its offset.
const RecordSet& Before()
{
    static const std::unique_ptr<RecordSet> records = [] {
        QList<FieldInfo> fields;
        for (const FieldType type : {FieldType::Integer, FieldType::VarWChar, FieldType::DateTimeOffset}) {
            FieldInfo field;
            field.name = QStringLiteral("c%1").arg(fields.size());
            field.type = type;
            fields.append(field);
        }
        auto made = std::make_unique<RecordSet>(fields);
        const char16_t* texts[] = {u"a", u"жж", u""};
        for (int row = 0; row < 3; ++row) {
            made->column(0).appendInteger(row * 1000 - 1);
            if (row == 2)
                made->column(1).appendNull();
            else
                made->column(1).appendText(texts[row], qsizetype(std::char_traits<char16_t>::length(texts[row])));
            made->column(2).appendOffsetDateTime({row * 7, row * 60});
        }
        return made;
    }();
    return *records;
}

bool SameCells(const RecordSet& a, const RecordSet& b)
{
    if (a.fieldCount() != b.fieldCount() || a.rowCount() != b.rowCount())
        return false;
    for (int c = 0; c < a.fieldCount(); ++c) {
        if (a.field(c).name != b.field(c).name || a.field(c).type != b.field(c).type)
            return false;
        for (int row = 0; row < a.rowCount(); ++row) {
            if (!a.column(c).sameCell(row, b.column(c), row))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    HistoryFrame frame;
    frame.keyframe = data[0] & 1;
    frame.rowCount = data[1];
    const QByteArray rest(reinterpret_cast<const char*>(data) + 2, qsizetype(size) - 2);
    if (data[0] & 2)
        frame.data = QByteArray("QHF\x01", 4) + char(frame.keyframe ? 0 : 1) + qCompress(rest);
    else
        frame.data = rest;
    std::unique_ptr<RecordSet> records;
    try {
        records = DecodeFrame(frame, &Before());
    } catch (const DataError&) {
        return 0;
    }
    Require(records->rowCount() == frame.rowCount, "a frame holds the rows it tells");
    const std::unique_ptr<RecordSet> again = DecodeFrame(EncodeKeyframe(*records, 0), nullptr);
    Require(SameCells(*records, *again), "a result read keeps cell for cell as a keyframe");
    return 0;
}
