#pragma once

#include "data/records/FieldType.h"

#include <QString>

// One column of a result set as the driver described it.
struct FieldInfo {
    QString name;
    FieldType type = FieldType::VarWChar;
    int sqlType = 0;          // the ODBC SQL type the driver reported
    QString typeName;         // the server's own type name (money, uuid, ...)
    qint64 size = 0;          // column size in characters or digits; 0 when unknown
    int decimals = 0;
    int tag = 0;              // the windows' sort marker: 0 none, 2 ascending, 1 descending
};
