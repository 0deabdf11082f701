#pragma once

// Record sets built by hand, for the tests of what is done with rows once they are fetched: views,
// sort, filter, the grid's model. Numbers and texts only; an invalid QVariant is a null.

#include "data/records/RecordSet.h"

#include <QList>
#include <QVariant>
#include <memory>

struct FieldSketch {
    QString name;
    FieldType type;
};

inline QList<FieldInfo> FieldsOf(const QList<FieldSketch>& fields)
{
    QList<FieldInfo> infos;
    for (const FieldSketch& sketch : fields) {
        FieldInfo field;
        field.name = sketch.name;
        field.type = sketch.type;
        infos.append(field);
    }
    return infos;
}

inline std::unique_ptr<RecordSet> RecordsOf(const QList<FieldSketch>& fields, const QList<QVariantList>& rows)
{
    const QList<FieldInfo> infos = FieldsOf(fields);
    auto records = std::make_unique<RecordSet>(infos);
    for (const QVariantList& row : rows) {
        for (int i = 0; i < infos.size(); ++i) {
            RecordColumn& column = records->column(i);
            const QVariant& value = row.value(i);
            if (!value.isValid()) {
                column.appendNull();
                continue;
            }
            switch (column.storage()) {
            case RecordColumn::Storage::Integer:
                column.appendInteger(value.toLongLong());
                break;
            case RecordColumn::Storage::Real:
                column.appendReal(value.toDouble());
                break;
            case RecordColumn::Storage::Text: {
                const QString text = value.toString();
                column.appendText(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
                break;
            }
            }
        }
    }
    return records;
}

// Sessions as a process list shows them: (spid, status, login).
inline std::unique_ptr<RecordSet> ProcessesOf(const QList<QVariantList>& rows)
{
    return RecordsOf({{"spid", FieldType::Integer}, {"status", FieldType::LongVarChar}, {"login", FieldType::LongVarChar}},
                     rows);
}

// Four of them, two asleep, two logged in as ann.
inline std::unique_ptr<RecordSet> Processes()
{
    return ProcessesOf({{51, "sleeping", "sa"}, {7, "runnable", "bob"}, {60, "sleeping", "ann"}, {52, "runnable", "ann"}});
}
