#pragma once

#include "platform/spreadsheet/OfficeOptions.h"
#include "platform/spreadsheet/OfficePlugin.h"
#include "platform/spreadsheet/Spreadsheet.h"
#include "platform/spreadsheet/XlsxSpreadsheet.h"

#include <memory>

class QLibrary;

// Finds the spreadsheet application for the exports of one program run: the office through its
// plugin, started once and kept for later exports, or, where the plugin or the office is missing or
// the office cannot show a workbook on this desktop, the .xlsx writer. An office that an export has started and that holds no document when the
// provider goes is ended with it.
class SpreadsheetProvider {
public:
    // xlsxFolder and openFile serve the .xlsx writer.
    SpreadsheetProvider(OfficeOptions options, QString xlsxFolder, XlsxSpreadsheet::FileOpener openFile);
    ~SpreadsheetProvider();
    SpreadsheetProvider(const SpreadsheetProvider&) = delete;
    SpreadsheetProvider& operator=(const SpreadsheetProvider&) = delete;

    // Throws SpreadsheetError when an office is installed but cannot be started or reached.
    Spreadsheet& Acquire();

private:
    // The plugin's entry; nullptr when the plugin cannot be loaded.
    OfficePluginCreate PluginEntry();

    OfficeOptions options_;
    std::unique_ptr<QLibrary> plugin_;
    bool pluginTried_ = false;
    OfficePluginCreate create_ = nullptr;
    bool noOffice_ = false;
    std::unique_ptr<Spreadsheet> office_;
    XlsxSpreadsheet xlsx_;
};
