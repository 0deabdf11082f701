#pragma once

#include "data/records/FieldInfo.h"
#include "data/pg/PgResultReader.h"

// A result column as psqlODBC describes it (with its default settings, through the wide calls),
// from the server's type and type modifier, and the form in which its text is read.
struct PgColumnKind {
    FieldInfo field;
    PgResultReader::Form form = PgResultReader::Form::Text;
};

PgColumnKind PgColumnKindOf(const QString& name, unsigned int typeOid, int typeModifier, bool decimalsAsFloat);
