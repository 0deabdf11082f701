#pragma once

#include "platform/spreadsheet/OfficeOptions.h"
#include "platform/spreadsheet/Spreadsheet.h"
#include "platform/spreadsheet/office/OfficeProcess.h"

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <memory>

// An office reached over a pipe of its own: started hidden, kept for later exports, and ended when
// it holds no document once a workbook was discarded or the program is done with it. What it
// leaves behind is removed once it has ended.
class OfficeSpreadsheet : public Spreadsheet {
public:
    // nullptr when no office is installed in the program folder of options, or when it cannot show
    // a workbook on this desktop and options do not ask for a headless one. Throws
    // SpreadsheetError when it cannot be started or reached within the deadline.
    static std::unique_ptr<OfficeSpreadsheet> Start(const OfficeOptions& options);
    ~OfficeSpreadsheet() override;

    std::unique_ptr<Workbook> NewWorkbook(const QString& templateFile) override;
    bool Alive() override;

    // Ends the office when it holds no document; the next export starts a new one.
    void EndIfIdle();

private:
    OfficeSpreadsheet(std::unique_ptr<OfficeProcess> process, QString pipe, bool headless);
    void Connect(const com::sun::star::uno::Reference<com::sun::star::uno::XComponentContext>& local,
                 const QString& pipe, std::chrono::milliseconds deadline);
    void Disconnect();

    std::unique_ptr<OfficeProcess> process_;
    QString pipe_;
    bool headless_;
    com::sun::star::uno::Reference<com::sun::star::lang::XComponent> bridge_;
    com::sun::star::uno::Reference<com::sun::star::frame::XDesktop2> desktop_;
};
