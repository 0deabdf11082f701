#include "platform/spreadsheet/office/OfficeWorkbook.h"

#include "platform/spreadsheet/DateSeparator.h"
#include "platform/spreadsheet/ShownCharacters.h"
#include "platform/spreadsheet/office/OfficeCall.h"
#include "platform/spreadsheet/office/OfficeSpreadsheet.h"

#include <algorithm>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <vector>

namespace uno = com::sun::star::uno;

namespace {

// Day 0 of the office's date scale (its default null date).
const QDate NullDate(1899, 12, 30);

// The room of one character of the default font, in hundredths of a millimetre: a digit takes
// 2.2 mm in the widest of the usual ones (DejaVu Sans, 10 pt); the rest is for wider letters.
constexpr sal_Int32 CharacterWidth = 250;

double DateSerial(const QDateTime& value)
{
    return double(NullDate.daysTo(value.date())) + value.time().msecsSinceStartOfDay() / 86'400'000.0;
}

} // namespace

OfficeWorkbook::OfficeWorkbook(OfficeSpreadsheet& office, uno::Reference<com::sun::star::lang::XComponent> document,
                               bool headless, bool fromTemplate)
    : office_(office), document_(std::move(document)), headless_(headless), fromTemplate_(fromTemplate)
{
    namespace sheet = com::sun::star::sheet;
    namespace container = com::sun::star::container;
    try {
        OfficeCall("first sheet", [&] {
            const uno::Reference<sheet::XSpreadsheetDocument> spreadsheet(document_, uno::UNO_QUERY);
            if (!spreadsheet.is())
                throw SpreadsheetError(QStringLiteral("The template is no spreadsheet"));
            const uno::Reference<container::XIndexAccess> sheets(spreadsheet->getSheets(), uno::UNO_QUERY_THROW);
            sheet_.set(sheets->getByIndex(0), uno::UNO_QUERY_THROW);
        });
    } catch (...) {
        Discard();
        throw;
    }
}

OfficeWorkbook::~OfficeWorkbook()
{
    if (!shown_)
        Discard();
}

void OfficeWorkbook::Discard()
{
    try {
        const uno::Reference<com::sun::star::util::XCloseable> closeable(document_, uno::UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        else
            document_->dispose();
    } catch (const uno::Exception&) {
        // A document the office cannot close any more is gone with the office.
    }
    document_.clear();
    office_.EndIfIdle();
}

void OfficeWorkbook::NameFirstSheet(const QString& name)
{
    OfficeCall("sheet name", [&] {
        const uno::Reference<com::sun::star::container::XNamed> named(sheet_, uno::UNO_QUERY_THROW);
        // The office ignores a name it does not allow without a word: only reading it back tells.
        named->setName(ToOffice(name));
        if (FromOffice(named->getName()) != name)
            throw SpreadsheetError(QStringLiteral("The sheet name %1 was refused").arg(name));
    });
}

void OfficeWorkbook::WriteCells(int row, int column, const CellBlock& rows)
{
    if (rows.empty() || rows.front().empty())
        return;
    const std::size_t width = rows.front().size();
    uno::Sequence<uno::Sequence<uno::Any>> data(static_cast<sal_Int32>(rows.size()));
    uno::Sequence<uno::Any>* out = data.getArray();
    // Which cells hold a date and time: formatted afterwards by runs down each column, since every
    // call into the office costs far more than the cells it touches.
    std::vector<char> isDateTime(rows.size() * width, 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].size() != width)
            throw SpreadsheetError(QStringLiteral("Rows of one block differ in width"));
        uno::Sequence<uno::Any> line(static_cast<sal_Int32>(width));
        uno::Any* cell = line.getArray();
        for (std::size_t c = 0; c < width; ++c) {
            const CellValue& value = rows[r][c];
            qsizetype& widest = widths_[column + int(c)];
            widest = std::max(widest, ShownCharacters(value));
            if (const double* number = std::get_if<double>(&value)) {
                cell[c] <<= *number;
            } else if (const QString* text = std::get_if<QString>(&value)) {
                cell[c] <<= ToOffice(*text);
            } else {
                cell[c] <<= DateSerial(std::get<QDateTime>(value));
                isDateTime[r * width + c] = 1;
            }
        }
        out[r] = line;
    }
    OfficeCall("cells", [&] {
        const uno::Reference<com::sun::star::table::XCellRange> range = sheet_->getCellRangeByPosition(
            column - 1, row - 1, column - 1 + sal_Int32(width) - 1, row - 1 + sal_Int32(rows.size()) - 1);
        const uno::Reference<com::sun::star::sheet::XCellRangeData> cells(range, uno::UNO_QUERY_THROW);
        cells->setDataArray(data);
    });
    for (std::size_t c = 0; c < width; ++c) {
        std::size_t r = 0;
        while (r < rows.size()) {
            if (!isDateTime[r * width + c]) {
                ++r;
                continue;
            }
            const std::size_t first = r;
            while (r < rows.size() && isDateTime[r * width + c])
                ++r;
            FormatAsDateTime(row + int(first), column + int(c), int(r - first));
        }
    }
}

void OfficeWorkbook::FormatAsDateTime(int row, int column, int rows)
{
    namespace util = com::sun::star::util;
    OfficeCall("date format", [&] {
        if (dateTimeFormat_ < 0) {
            const uno::Reference<util::XNumberFormatsSupplier> supplier(document_, uno::UNO_QUERY_THROW);
            const uno::Reference<util::XNumberFormats> formats = supplier->getNumberFormats();
            // The code's words are read in the locale given; its separators are quoted.
            const com::sun::star::lang::Locale english("en", "US", rtl::OUString());
            const rtl::OUString code = ToOffice(DateTimeFormatCode());
            dateTimeFormat_ = formats->queryKey(code, english, false);
            if (dateTimeFormat_ < 0)
                dateTimeFormat_ = formats->addNew(code, english);
        }
        const uno::Reference<com::sun::star::beans::XPropertySet> cells(
            sheet_->getCellRangeByPosition(column - 1, row - 1, column - 1, row - 1 + rows - 1), uno::UNO_QUERY_THROW);
        cells->setPropertyValue("NumberFormat", uno::Any(dateTimeFormat_));
    });
}

void OfficeWorkbook::FitColumns()
{
    if (fromTemplate_)
        return;
    OfficeCall("column widths", [&] {
        const uno::Reference<com::sun::star::table::XColumnRowRange> sheet(sheet_, uno::UNO_QUERY_THROW);
        const uno::Reference<com::sun::star::container::XIndexAccess> columns(sheet->getColumns(), uno::UNO_QUERY_THROW);
        for (const auto& [column, characters] : widths_) {
            const uno::Reference<com::sun::star::beans::XPropertySet> properties(columns->getByIndex(column - 1),
                                                                                 uno::UNO_QUERY_THROW);
            sal_Int32 width = 0;
            properties->getPropertyValue("Width") >>= width;
            // A character's room besides the value keeps it off the cell's border.
            const auto wanted = sal_Int32(std::min(characters, MaxColumnCharacters) + 1) * CharacterWidth;
            if (wanted > width)
                properties->setPropertyValue("Width", uno::Any(wanted));
        }
    });
}

void OfficeWorkbook::Show()
{
    FitColumns();
    // A headless office has no windows: the document is handed over as it is.
    if (!headless_) {
        OfficeCall("show", [&] {
            const uno::Reference<com::sun::star::frame::XModel> model(document_, uno::UNO_QUERY_THROW);
            const uno::Reference<com::sun::star::frame::XFrame> frame = model->getCurrentController()->getFrame();
            frame->getContainerWindow()->setVisible(true);
            frame->activate();
        });
    }
    shown_ = true;
}
