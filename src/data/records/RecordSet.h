#pragma once

#include "data/display/DisplayFormat.h"
#include "data/records/FieldInfo.h"
#include "data/records/RecordColumn.h"

#include <QList>
#include <QVariant>
#include <memory>
#include <vector>

// The rows of one result set as fetched, held column by column. A data set owns one and hands
// it on by pointer, which is what makes adoption a move.
class RecordSet {
public:
    explicit RecordSet(QList<FieldInfo> fields);

    int fieldCount() const { return int(fields_.size()); }
    const FieldInfo& field(int index) const { return fields_[index]; }
    FieldInfo& field(int index) { return fields_[index]; }
    int rowCount() const { return fields_.isEmpty() ? 0 : columns_.front().size(); }

    RecordColumn& column(int index) { return columns_[std::size_t(index)]; }
    const RecordColumn& column(int index) const { return columns_[std::size_t(index)]; }

    bool isNull(int row, int column) const { return columns_[std::size_t(column)].isNull(row); }
    QString displayText(int row, int column) const;
    QVariant value(int row, int column) const;

    // A copy, field for field and cell for cell.
    std::unique_ptr<RecordSet> clone() const;
    // Appends row of source, a record set of the same fields, cell for cell.
    void appendRow(const RecordSet& source, int row);

    // Empties it for the rows of fields, keeping the room of each column whose storage stays.
    void reset(QList<FieldInfo> fields);

    const DisplayFormat& format() const { return format_; }
    // Once the last row is in: gives back the room the columns reserved for more.
    void squeeze();
    qsizetype bytesUsed() const;

private:
    QList<FieldInfo> fields_;
    std::vector<RecordColumn> columns_;
    DisplayFormat format_;
};
