#pragma once

#include "platform/spreadsheet/OfficeOptions.h"
#include "platform/spreadsheet/Spreadsheet.h"

// The entry of the office plugin, resolved by name at run time. It returns a connected office,
// nullptr when no office is installed or the one installed cannot show a workbook here (unless
// the options ask for a headless one), and throws SpreadsheetError when one is installed but
// cannot be started or reached in time.
inline constexpr char OfficePluginEntry[] = "QuillonOfficeCreate";
using OfficePluginCreate = Spreadsheet* (*)(const OfficeOptions& options);
