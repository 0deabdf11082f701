#include "data/records/FieldType.h"

#include "data/records/FieldKinds.h"

bool IsQuotedFieldType(FieldType type)
{
    return FieldKindOf(type).quoted;
}

bool IsTextFieldType(FieldType type)
{
    const ValueForm form = FieldKindOf(type).form;
    return form == ValueForm::Text || form == ValueForm::Guid || form == ValueForm::Bytes;
}

bool IsNumberFieldType(FieldType type)
{
    return FieldKindOf(type).number;
}

bool IsTemporalFieldType(FieldType type)
{
    return FieldKindOf(type).temporal;
}
