// The export's cost for 10,000 rows x 10 columns of the bench table: the rows converted as the
// export converts them and written by blocks of 1,000, through the office (its start apart) and
// to an .xlsx file. Prints "key value" pairs for scripts/bench.sh.

#include "TestDatabase.h"
#include "data/connection/Connection.h"
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

struct Timing {
    double total = 0;      // all of it, from the new workbook to its hand-over
    double workbook = 0;   // the new workbook alone
    double convert = 0;    // the rows turned into cells
    double write = 0;      // the blocks written
};

// Writes the query's rows into a new workbook and, for the .xlsx writer, hands it over (which
// writes the file). A headless office's hand-over does nothing: its workbook is given back and
// discarded when the benchmark is done, which ends the office.
Timing Export(Spreadsheet& spreadsheet, Query& query, bool show, std::unique_ptr<Workbook>& book)
{
    Timing timing;
    QElapsedTimer clock;
    clock.start();
    book = spreadsheet.NewWorkbook(QString());
    timing.workbook = Milliseconds(clock);
    book->NameFirstSheet(QStringLiteral("bench"));
    book->WriteCells(3, 2, {{QStringLiteral("Сервер:"), QStringLiteral("bench")}});
    query.first();
    CellBlock block;
    int row = 9;
    QElapsedTimer part;
    while (!query.eof()) {
        part.start();
        std::vector<CellValue> cells;
        for (int field = 0; field < query.fieldCount(); ++field)
            cells.push_back(ExportCell(query, field));
        block.push_back(std::move(cells));
        query.next();
        timing.convert += Milliseconds(part);
        if (int(block.size()) == ExcelExport::BlockRows || query.eof()) {
            part.start();
            book->WriteCells(row, 1, block);
            timing.write += Milliseconds(part);
            row += int(block.size());
            block.clear();
        }
    }
    if (show)
        book->Show();
    timing.total = Milliseconds(clock);
    return timing;
}

void Print(const char* name, const Timing& timing)
{
    std::printf("%s_ms %.1f %s_workbook_ms %.1f %s_convert_ms %.1f %s_write_ms %.1f\n", name, timing.total, name,
                timing.workbook, name, timing.convert, name, timing.write);
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
    std::unique_ptr<Workbook> file;
    Print("xlsx", Export(xlsx.Acquire(), query, true, file));

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
        std::unique_ptr<Workbook> firstBook;
        std::unique_ptr<Workbook> keptBook;
        const Timing first = Export(spreadsheet, query, false, firstBook);
        const Timing kept = Export(spreadsheet, query, false, keptBook);
        std::printf("office_start_ms %.1f office_with_start_ms %.1f\n", start, start + first.total);
        Print("office_first", first);
        Print("office", kept);
    }
    return 0;
}
