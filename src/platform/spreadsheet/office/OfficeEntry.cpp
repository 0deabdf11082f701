#include "platform/spreadsheet/OfficePlugin.h"
#include "platform/spreadsheet/office/OfficeSpreadsheet.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT Spreadsheet* QuillonOfficeCreate(const OfficeOptions& options)
{
    return OfficeSpreadsheet::Start(options).release();
}
