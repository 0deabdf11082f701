#include "data/history/RowKeys.h"

#include "data/records/FieldKinds.h"
#include "data/records/RecordSet.h"

int FieldIndexIn(const RecordSet& records, const QString& name)
{
    for (int i = 0; i < records.fieldCount(); ++i) {
        if (records.field(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

namespace {

void AppendKeyPart(const RecordSet& records, int row, int column, TextScratch& scratch, KeyText& key)
{
    const RecordColumn& cells = records.column(column);
    // One character for a length below 0x8000, two with the first's top bit set for the rest.
    const auto appendLength = [&key](qsizetype length) {
        if (length < 0x8000) {
            key.append(char16_t(length));
            return;
        }
        key.append(char16_t(0x8000 | ((length >> 16) & 0x7fff)));
        key.append(char16_t(length & 0xffff));
    };
    const ValueForm form = FieldKindOf(records.field(column).type).form;
    if (form == ValueForm::Text) {
        // Text shows as it is held: read in place.
        const QStringView text = cells.isNull(row) ? QStringView() : cells.text(row, scratch);
        appendLength(text.size());
        key.append(text.utf16(), text.size());
        return;
    }
    if (form == ValueForm::Integer) {
        // An integer shows as its digits, one text for each value: the value stands for its text.
        // A null shows as the empty text, which a length of 0 stands for as it does for text.
        if (cells.isNull(row)) {
            appendLength(0);
            return;
        }
        const quint64 value = quint64(cells.integer(row));
        key.append(char16_t(0xffff));
        for (int shift = 0; shift < 64; shift += 16)
            key.append(char16_t((value >> shift) & 0xffff));
        return;
    }
    const QString text = records.displayText(row, column);
    appendLength(text.size());
    key.append(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
}

} // namespace

void AppendRowKey(const RecordSet& records, int row, const std::vector<int>& columns, TextScratch& scratch,
                  KeyText& key)
{
    for (const int column : columns)
        AppendKeyPart(records, row, column, scratch, key);
}
