#pragma once

// A second client of the office the tests start: it reaches the same office over its pipe and
// reads back what the program wrote (getDataArray), makes template files, closes documents, and
// finds office processes left behind.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <csignal>

namespace office_probe {

namespace uno = com::sun::star::uno;
using com::sun::star::beans::PropertyValue;
using com::sun::star::lang::XComponent;

inline rtl::OUString Office(const QString& text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), sal_Int32(text.size()));
}

inline QString Text(const rtl::OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

} // namespace office_probe

class OfficeProbe {
public:
    using Document = com::sun::star::uno::Reference<com::sun::star::lang::XComponent>;

    explicit OfficeProbe(const QString& pipe)
    {
        using namespace office_probe;
        namespace bridge = com::sun::star::bridge;
        // An office may end while it is probed; its pipe must then fail the call, not end the test.
        std::signal(SIGPIPE, SIG_IGN);
        static const uno::Reference<uno::XComponentContext> local = cppu::defaultBootstrap_InitialComponentContext();
        const uno::Reference<com::sun::star::connection::XConnection> link =
            com::sun::star::connection::Connector::create(local)->connect(Office(QStringLiteral("pipe,name=") + pipe));
        const uno::Reference<bridge::XBridge> made =
            bridge::BridgeFactory::create(local)->createBridge(rtl::OUString(), "urp", link, nullptr);
        bridge_.set(made, uno::UNO_QUERY_THROW);
        const uno::Reference<uno::XComponentContext> remote(made->getInstance("StarOffice.ComponentContext"),
                                                            uno::UNO_QUERY_THROW);
        desktop_ = com::sun::star::frame::Desktop::create(remote);
    }

    ~OfficeProbe()
    {
        try {
            bridge_->dispose();
        } catch (const com::sun::star::uno::Exception&) {
        }
    }

    QList<Document> Documents() const
    {
        QList<Document> documents;
        const auto all = desktop_->getComponents()->createEnumeration();
        while (all->hasMoreElements())
            documents.append(Document(all->nextElement(), com::sun::star::uno::UNO_QUERY));
        return documents;
    }

    static bool Untitled(const Document& document)
    {
        return !com::sun::star::uno::Reference<com::sun::star::frame::XStorable>(document, com::sun::star::uno::UNO_QUERY_THROW)
                    ->hasLocation();
    }

    static com::sun::star::uno::Reference<com::sun::star::sheet::XSpreadsheet> FirstSheet(const Document& document)
    {
        using namespace office_probe;
        const uno::Reference<com::sun::star::sheet::XSpreadsheetDocument> spreadsheet(document, uno::UNO_QUERY_THROW);
        const uno::Reference<com::sun::star::container::XIndexAccess> sheets(spreadsheet->getSheets(), uno::UNO_QUERY_THROW);
        return uno::Reference<com::sun::star::sheet::XSpreadsheet>(sheets->getByIndex(0), uno::UNO_QUERY_THROW);
    }

    static QString SheetName(const Document& document)
    {
        using namespace office_probe;
        return Text(uno::Reference<com::sun::star::container::XNamed>(FirstSheet(document), uno::UNO_QUERY_THROW)->getName());
    }

    // Rows of a range ("A1:D12"), each cell a double, a QString ("" for an empty cell).
    static QList<QVariantList> Cells(const Document& document, const QString& range)
    {
        using namespace office_probe;
        const uno::Reference<com::sun::star::sheet::XCellRangeData> data(
            FirstSheet(document)->getCellRangeByName(Office(range)), uno::UNO_QUERY_THROW);
        QList<QVariantList> rows;
        for (const auto& line : data->getDataArray()) {
            QVariantList row;
            for (const uno::Any& cell : line) {
                double number = 0;
                rtl::OUString text;
                if (cell >>= number)
                    row.append(number);
                else if (cell >>= text)
                    row.append(Text(text));
                else
                    row.append(QVariant());
            }
            rows.append(row);
        }
        return rows;
    }

    // The text the cell shows, in its number format.
    static QString Shown(const Document& document, int column, int row)
    {
        using namespace office_probe;
        return Text(uno::Reference<com::sun::star::text::XText>(FirstSheet(document)->getCellByPosition(column - 1, row - 1),
                                                               uno::UNO_QUERY_THROW)
                      ->getString());
    }

    // The width of a column (from 1), in hundredths of a millimetre.
    static int ColumnWidth(const Document& document, int column)
    {
        using namespace office_probe;
        const uno::Reference<com::sun::star::table::XColumnRowRange> sheet(FirstSheet(document), uno::UNO_QUERY_THROW);
        const uno::Reference<com::sun::star::beans::XPropertySet> properties(sheet->getColumns()->getByIndex(column - 1),
                                                                             uno::UNO_QUERY_THROW);
        sal_Int32 width = 0;
        properties->getPropertyValue("Width") >>= width;
        return width;
    }

    // A file made by the office: a spreadsheet (or, with writer, a text document) with texts in
    // the cells given, stored with the filter named.
    void MakeFile(const QString& file, const char* filter, const QList<std::pair<QString, QString>>& cells,
                  bool writer = false)
    {
        using namespace office_probe;
        PropertyValue hidden;
        hidden.Name = "Hidden";
        hidden.Value <<= true;
        const uno::Reference<XComponent> document = desktop_->loadComponentFromURL(
            writer ? rtl::OUString("private:factory/swriter") : rtl::OUString("private:factory/scalc"), "_blank", 0,
            uno::Sequence<PropertyValue>(&hidden, 1));
        for (const auto& [reference, text] : cells) {
            uno::Reference<com::sun::star::text::XText>(FirstSheet(document)->getCellRangeByName(Office(reference))
                                                            ->getCellByPosition(0, 0),
                                                        uno::UNO_QUERY_THROW)
                ->setString(Office(text));
        }
        PropertyValue filterName;
        filterName.Name = "FilterName";
        filterName.Value <<= rtl::OUString::createFromAscii(filter);
        QFile::remove(file);
        uno::Reference<com::sun::star::frame::XStorable>(document, uno::UNO_QUERY_THROW)
            ->storeToURL(Office(QUrl::fromLocalFile(file).toString()), uno::Sequence<PropertyValue>(&filterName, 1));
        uno::Reference<com::sun::star::util::XCloseable>(document, uno::UNO_QUERY_THROW)->close(true);
    }

    void CloseAll() const
    {
        for (const Document& document : Documents())
            com::sun::star::uno::Reference<com::sun::star::util::XCloseable>(document, com::sun::star::uno::UNO_QUERY_THROW)
                ->close(true);
    }

    // Process ids whose command line names the pipe.
    static QList<int> Processes(const QString& pipe)
    {
        QList<int> found;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const int pid = entry.toInt(&number);
            if (!number)
                continue;
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(pipe.toUtf8()))
                found.append(pid);
        }
        return found;
    }

    // Kills every process of the pipe and waits until each has ended: gone, or a zombie. A killed
    // process drops its command line before it closes its files, the office's pipe among them.
    static bool Killed(const QString& pipe, int timeoutMs = 20000)
    {
        const QList<int> pids = Processes(pipe);
        for (int pid : pids)
            kill(pid, SIGKILL);
        const auto gone = [](int pid) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                return true;
            const QByteArray text = stat.readAll();
            const qsizetype name = text.lastIndexOf(')');
            return name < 0 || text.mid(name + 2, 1) == "Z";
        };
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            if (std::all_of(pids.begin(), pids.end(), gone))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    // Waits up to timeoutMs for every process of the pipe to end; kills what is left and says so.
    static bool AllEnded(const QString& pipe, int timeoutMs = 20000)
    {
        for (int waited = 0; waited < timeoutMs; waited += 100) {
            if (Processes(pipe).isEmpty())
                return true;
            QThread::msleep(100);
        }
        for (int pid : Processes(pipe))
            kill(pid, SIGKILL);
        return false;
    }

private:
    com::sun::star::uno::Reference<com::sun::star::lang::XComponent> bridge_;
    com::sun::star::uno::Reference<com::sun::star::frame::XDesktop2> desktop_;
};
