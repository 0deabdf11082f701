#pragma once

#include "platform/QuillonError.h"

// The spreadsheet application could not be had or refused an operation. The message is for the
// log; the export shows its own text.
class SpreadsheetError : public QuillonError {
public:
    using QuillonError::QuillonError;
};
