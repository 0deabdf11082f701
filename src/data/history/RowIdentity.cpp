#include "data/history/RowIdentity.h"

#include "data/history/RowKeys.h"
#include "data/records/RecordSet.h"
#include "data/view/RecordView.h"

#include <vector>

RowIdentity CurrentRowIdentity(const RecordView& view, const QStringList& keyColumns)
{
    RowIdentity identity;
    if (!view.active() || view.recNo() == 0)
        return identity;
    identity.record = view.bookmark().row;
    for (const QString& column : keyColumns) {
        if (view.fieldIndex(column) < 0)
            return RowIdentity{{}, identity.record};
        identity.keys << view.fieldTextByName(column);
    }
    return identity;
}

Bookmark FindRow(const RecordSet& records, const RowIdentity& identity, const QStringList& keyColumns)
{
    if (identity.record < 0)
        return {};
    std::vector<int> columns;
    for (const QString& name : keyColumns) {
        const int index = FieldIndexIn(records, name);
        if (index >= 0)
            columns.push_back(index);
    }
    if (identity.keys.isEmpty() || columns.size() != std::size_t(identity.keys.size()))
        return identity.record < records.rowCount() ? Bookmark{identity.record} : Bookmark{};
    // Compared as the grid shows them: the key is what the operator saw.
    for (int row = 0; row < records.rowCount(); ++row) {
        bool same = true;
        for (std::size_t k = 0; k < columns.size() && same; ++k)
            same = records.displayText(row, columns[k]) == identity.keys[qsizetype(k)];
        if (same)
            return Bookmark{row};
    }
    return {};
}
