// The export's cost for 10,000 rows x 10 columns of the bench table: the rows converted as the
// export converts them and written by blocks of 1,000, through the office (its start apart) and
// to an .xlsx file. Prints "key value" pairs for scripts/bench.sh.

#include "TestDatabase.h"
#include "data/Connection.h"
#include "data/Query.h"
#include "monitor/ExcelExport.h"
#include "monitor/ExportCells.h"
#include "platform/spreadsheet/SpreadsheetProvider.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>

namespace {

double Milliseconds(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// Writes the query's rows into a new workbook and hands it over; returns milliseconds.
double Export(Spreadsheet& spreadsheet, Query& query)
{
    QElapsedTimer clock;
    clock.start();
    auto book = spreadsheet.NewWorkbook(QString());
    book->NameFirstSheet(QStringLiteral("bench"));
    book->WriteCells(3, 2, {{QStringLiteral("Сервер:"), QStringLiteral("bench")}});
    query.first();
    CellBlock block;
    int row = 9;
    while (!query.eof()) {
        std::vector<CellValue> cells;
        for (int field = 0; field < query.fieldCount(); ++field)
            cells.push_back(ExportCell(query, field));
        block.push_back(std::move(cells));
        query.next();
        if (int(block.size()) == ExcelExport::BlockRows || query.eof()) {
            book->WriteCells(row, 1, block);
            row += int(block.size());
            block.clear();
        }
    }
    book->Show();
    return Milliseconds(clock);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString sql = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("select * from bench limit 10000");
    Connection connection;
    connection.setConnectionString(TestDatabase::pgConnectionString());
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql({sql});
    query.open();
    std::printf("rows %d fields %d\n", query.recordCount(), query.fieldCount());

    QTemporaryDir files;
    OfficeOptions none;
    none.pluginFile = files.filePath(QStringLiteral("none"));
    SpreadsheetProvider xlsx(none, files.path(), [](const QString&) { return true; });
    std::printf("xlsx_ms %.1f\n", Export(xlsx.Acquire(), query));

    if (argc > 2) {
        QTemporaryDir profile;
        OfficeOptions office;
        office.pluginFile = QString::fromLocal8Bit(argv[2]);
        office.headless = true;
        office.profileUrl = QUrl::fromLocalFile(profile.path()).toString();
        SpreadsheetProvider provider(office, files.path(), [](const QString&) { return true; });
        QElapsedTimer clock;
        clock.start();
        Spreadsheet& spreadsheet = provider.Acquire();
        const double start = Milliseconds(clock);
        // The first workbook of a fresh office also loads Calc itself: the second one is what a
        // kept office costs.
        const double first = Export(spreadsheet, query);
        const double kept = Export(spreadsheet, query);
        std::printf("office_start_ms %.1f office_first_fill_ms %.1f office_fill_ms %.1f office_with_start_ms %.1f\n", start,
                    first, kept, start + first);
    }
    return 0;
}
