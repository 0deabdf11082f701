#pragma once

#include "platform/spreadsheet/SpreadsheetError.h"
#include "platform/spreadsheet/office/OfficeText.h"

#include <com/sun/star/uno/Exception.hpp>

// Runs calls into the office and turns its exceptions, which are no std::exception, into the
// program's own error, naming the step that failed.
template <typename Calls>
auto OfficeCall(const char* step, Calls&& calls) -> decltype(calls())
{
    try {
        return calls();
    } catch (const com::sun::star::uno::Exception& error) {
        throw SpreadsheetError(QStringLiteral("%1: %2").arg(QLatin1StringView(step), FromOffice(error.Message)));
    }
}
