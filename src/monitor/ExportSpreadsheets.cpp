#include "monitor/ExportSpreadsheets.h"

#include "platform/spreadsheet/SpreadsheetProvider.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace {

std::unique_ptr<SpreadsheetProvider>& Holder()
{
    static std::unique_ptr<SpreadsheetProvider> provider;
    static bool released = [] {
        // Before the application object is gone: an idle office is ended while the event loop's
        // world still stands.
        qAddPostRoutine([] { Holder().reset(); });
        return true;
    }();
    Q_UNUSED(released);
    return provider;
}

} // namespace

SpreadsheetProvider& ExportSpreadsheets()
{
    std::unique_ptr<SpreadsheetProvider>& provider = Holder();
    if (!provider) {
        provider = std::make_unique<SpreadsheetProvider>(OfficeOptions{}, QDir::tempPath(), [](const QString& file) {
            return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        });
    }
    return *provider;
}

void RemoveExportLeftovers()
{
    XlsxSpreadsheet::RemoveHandedOver(QDir::tempPath());
}

void SetExportSpreadsheets(std::unique_ptr<SpreadsheetProvider> provider)
{
    Holder() = std::move(provider);
}
