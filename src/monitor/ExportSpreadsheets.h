#pragma once

#include <memory>

class SpreadsheetProvider;

// The spreadsheet application of this program run, shared by the exports of every window: an
// office started by the first export stays connected for the next. Released when the
// application object goes.
SpreadsheetProvider& ExportSpreadsheets();

// Removes the files that exports of earlier program runs handed to the desktop, once it has had
// them for a while.
void RemoveExportLeftovers();

// Puts another provider in place (tests use an office of their own); nullptr goes back to the
// program's.
void SetExportSpreadsheets(std::unique_ptr<SpreadsheetProvider> provider);
