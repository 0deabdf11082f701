#include "platform/spreadsheet/office/OfficeSpreadsheet.h"

#include "platform/spreadsheet/OfficeDisplay.h"
#include "platform/spreadsheet/office/OfficeCall.h"
#include "platform/spreadsheet/office/OfficeLeftovers.h"
#include "platform/spreadsheet/office/OfficeWorkbook.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <csignal>
#include <thread>

namespace uno = com::sun::star::uno;
using com::sun::star::beans::PropertyValue;

namespace {

Q_LOGGING_CATEGORY(lcOffice, "quillon.export")

// How long a terminated office may take to end before it is killed.
constexpr std::chrono::milliseconds EndGrace{15000};
// How old the leftovers of an office must be before they are looked at: far beyond any start.
constexpr std::chrono::minutes LeftoverGrace{10};

// The runtime of this process: bootstrapped once, from the office's own settings.
uno::Reference<uno::XComponentContext> LocalContext(const QString& programFolder)
{
    static uno::Reference<uno::XComponentContext> context;
    if (!context.is()) {
#ifdef SIGPIPE
        // The runtime writes to the office's pipe without suppressing the signal: an office that
        // dies in the middle of a call must fail that call, not end this process.
        std::signal(SIGPIPE, SIG_IGN);
#endif
        qputenv("URE_BOOTSTRAP", (QStringLiteral("vnd.sun.star.pathname:") + programFolder
                                  + QStringLiteral("/fundamentalrc")).toUtf8());
        context = OfficeCall("bootstrap", [] { return cppu::defaultBootstrap_InitialComponentContext(); });
    }
    return context;
}

PropertyValue Property(const char* name, const uno::Any& value)
{
    PropertyValue property;
    property.Name = rtl::OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

} // namespace

std::unique_ptr<OfficeSpreadsheet> OfficeSpreadsheet::Start(const OfficeOptions& options)
{
    const QString folder = options.programFolder.isEmpty() ? QStringLiteral(QUILLON_OFFICE_PROGRAM_DIR)
                                                           : options.programFolder;
    const QString program = folder + QStringLiteral("/soffice");
    if (!QFileInfo(program).isExecutable() || !QFileInfo::exists(folder + QStringLiteral("/fundamentalrc")))
        return nullptr;
    // Started to show a workbook it cannot show, the office would die seconds later: the .xlsx
    // writer serves at once instead.
    if (!options.headless && !OfficeCanShowWorkbooks(folder)) {
        qCInfo(lcOffice) << "the office in" << folder << "cannot show a workbook on this desktop";
        return nullptr;
    }
    const uno::Reference<uno::XComponentContext> local = LocalContext(folder);

    RemoveLeftoversOfEndedOffices(LeftoverGrace);
    const QString pipe = !options.pipeName.isEmpty() ? options.pipeName : NewOfficePipeName();
    // The office's temporary files go to a folder of its own, removed once it has ended.
    const QString temp = OfficeTempFolder(pipe);
    const QFileInfo existing(temp);
    if ((!existing.isDir() || existing.isSymLink())
        && !QDir().mkdir(temp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        throw SpreadsheetError(QStringLiteral("Cannot create folder %1").arg(temp));
    QStringList arguments{QStringLiteral("--invisible"), QStringLiteral("--norestore"), QStringLiteral("--nodefault"),
                          QStringLiteral("--nolockcheck"),
                          QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe)};
    if (options.headless)
        arguments.prepend(QStringLiteral("--headless"));
    if (!options.profileUrl.isEmpty())
        arguments.append(QStringLiteral("-env:UserInstallation=") + options.profileUrl);

    std::unique_ptr<OfficeSpreadsheet> office(
        new OfficeSpreadsheet(std::make_unique<OfficeProcess>(program, arguments, temp), pipe, options.headless));
    try {
        office->Connect(local, pipe, options.startDeadline);
    } catch (...) {
        office->process_->EndWithin(std::chrono::milliseconds(0));
        throw;
    }
    return office;
}

OfficeSpreadsheet::OfficeSpreadsheet(std::unique_ptr<OfficeProcess> process, QString pipe, bool headless)
    : process_(std::move(process)), pipe_(std::move(pipe)), headless_(headless)
{
}

void OfficeSpreadsheet::Connect(const uno::Reference<uno::XComponentContext>& local, const QString& pipe,
                                std::chrono::milliseconds deadline)
{
    namespace connection = com::sun::star::connection;
    namespace bridge = com::sun::star::bridge;
    const auto until = std::chrono::steady_clock::now() + deadline;
    // The pipe appears once the office has started, and an office still starting may drop a
    // connection it has just taken: until the deadline each attempt that fails is tried again.
    for (;;) {
        try {
            const uno::Reference<connection::XConnection> link =
                connection::Connector::create(local)->connect(ToOffice(QStringLiteral("pipe,name=") + pipe));
            const uno::Reference<bridge::XBridge> made =
                bridge::BridgeFactory::create(local)->createBridge(rtl::OUString(), "urp", link, nullptr);
            bridge_.set(made, uno::UNO_QUERY_THROW);
            const uno::Reference<uno::XComponentContext> remote(made->getInstance("StarOffice.ComponentContext"),
                                                                uno::UNO_QUERY_THROW);
            desktop_ = com::sun::star::frame::Desktop::create(remote);
            return;
        } catch (const uno::Exception& error) {
            Disconnect();
            bool failed = false;
            if (process_->Ended(&failed) && failed)
                throw SpreadsheetError(QStringLiteral("The office ended before it could be reached"));
            if (std::chrono::steady_clock::now() >= until)
                throw SpreadsheetError(QStringLiteral("The office did not answer within %1 ms: %2")
                                           .arg(deadline.count())
                                           .arg(FromOffice(error.Message)));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

OfficeSpreadsheet::~OfficeSpreadsheet()
{
    EndIfIdle();
    Disconnect();
    // One that still runs holds the operator's workbooks; a later start removes what it leaves.
    if (process_->Ended())
        RemoveOfficeLeftovers(pipe_);
}

void OfficeSpreadsheet::Disconnect()
{
    desktop_.clear();
    if (bridge_.is()) {
        try {
            bridge_->dispose();
        } catch (const uno::Exception&) {
            // A bridge whose office has gone is disposed already.
        }
        bridge_.clear();
    }
}

bool OfficeSpreadsheet::Alive()
{
    if (!desktop_.is())
        return false;
    try {
        desktop_->getComponents();
        return true;
    } catch (const uno::Exception&) {
        Disconnect();
        return false;
    }
}

std::unique_ptr<Workbook> OfficeSpreadsheet::NewWorkbook(const QString& templateFile)
{
    try {
        const uno::Reference<com::sun::star::lang::XComponent> document = OfficeCall("new workbook", [&] {
            rtl::OUString url = "private:factory/scalc";
            const PropertyValue hidden = Property("Hidden", uno::Any(true));
            uno::Sequence<PropertyValue> arguments(&hidden, 1);
            if (!templateFile.isEmpty()) {
                if (!QFileInfo(templateFile).isFile())
                    throw SpreadsheetError(QStringLiteral("No template file %1").arg(templateFile));
                url = ToOffice(QUrl::fromLocalFile(QFileInfo(templateFile).absoluteFilePath()).toString(QUrl::FullyEncoded));
                const PropertyValue fromTemplate[] = {hidden, Property("AsTemplate", uno::Any(true))};
                arguments = uno::Sequence<PropertyValue>(fromTemplate, 2);
            }
            return desktop_->loadComponentFromURL(url, "_blank", 0, arguments);
        });
        if (!document.is())
            throw SpreadsheetError(QStringLiteral("The office opened no document from %1").arg(templateFile));
        return std::make_unique<OfficeWorkbook>(*this, document, headless_, !templateFile.isEmpty());
    } catch (const SpreadsheetError&) {
        // A failed export leaves no idle office behind.
        EndIfIdle();
        throw;
    }
}

void OfficeSpreadsheet::EndIfIdle()
{
    if (!desktop_.is())
        return;
    try {
        if (desktop_->getComponents()->createEnumeration()->hasMoreElements())
            return;
        desktop_->terminate();
    } catch (const uno::Exception&) {
        // An office that goes away while it is told to end has ended.
    }
    Disconnect();
    process_->EndWithin(EndGrace);
    RemoveOfficeLeftovers(pipe_);
}
