#include "platform/spreadsheet/SpreadsheetProvider.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcExport, "quillon.export")

} // namespace

SpreadsheetProvider::SpreadsheetProvider(OfficeOptions options, QString xlsxFolder,
                                         XlsxSpreadsheet::FileOpener openFile)
    : options_(std::move(options)), xlsx_(std::move(xlsxFolder), std::move(openFile))
{
}

// The office goes before the library whose code it runs.
SpreadsheetProvider::~SpreadsheetProvider()
{
    office_.reset();
}

OfficePluginCreate SpreadsheetProvider::PluginEntry()
{
    if (pluginTried_)
        return create_;
    pluginTried_ = true;
    const QString file = options_.pluginFile.isEmpty()
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/quillon_office")
        : options_.pluginFile;
    plugin_ = std::make_unique<QLibrary>(file);
    // The office's runtime does not survive being unloaded: the library stays for the program's life.
    plugin_->setLoadHints(QLibrary::PreventUnloadHint);
    create_ = reinterpret_cast<OfficePluginCreate>(plugin_->resolve(OfficePluginEntry));
    if (!create_)
        qCInfo(lcExport) << "no office plugin, exports go to .xlsx files:" << plugin_->errorString();
    return create_;
}

Spreadsheet& SpreadsheetProvider::Acquire()
{
    if (noOffice_)
        return xlsx_;
    if (office_ && office_->Alive())
        return *office_;
    office_.reset();
    const OfficePluginCreate create = PluginEntry();
    if (create)
        office_.reset(create(options_));
    if (!office_) {
        noOffice_ = true;
        if (create)
            qCInfo(lcExport) << "no office that shows workbooks here, exports go to .xlsx files";
        return xlsx_;
    }
    return *office_;
}
