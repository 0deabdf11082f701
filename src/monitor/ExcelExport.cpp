#include "monitor/ExcelExport.h"

#include "app/DriverWait.h"
#include "app/MessageBox.h"
#include "app/RunAside.h"
#include "app/WaitCursor.h"
#include "data/connection/Connection.h"
#include "monitor/CommandRun.h"
#include "monitor/ExportCells.h"
#include "platform/QuillonError.h"
#include "platform/spreadsheet/SpreadsheetProvider.h"

#include <QDateTime>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QProgressDialog>

namespace {

Q_LOGGING_CATEGORY(lcExport, "quillon.export")

const QString ExportFailed = QStringLiteral("Ошибка выгрузки данных в Excel!");
const QString UseTemplate = QStringLiteral("Использовать шаблон выгрузки?");
const QString TextsCut = QStringLiteral("Текст длиннее 32767 символов не помещается в ячейку Excel.\r"
                                        "Обрезано ячеек: %1, в конце каждой стоит знак \"…\".");

} // namespace

ExcelExport::ExcelExport(const ExportSource& source, SpreadsheetProvider& spreadsheets)
    : source_(source), spreadsheets_(spreadsheets)
{
    exportQuery_.setObjectName(QStringLiteral("ExportQuery"));
    exportQuery_.setConnection(source_.connection);
    exportQuery_.setSql(source_.query->sql());
    exportQuery_.setFilter(source_.query->filter());
}

ExcelExport::~ExcelExport() = default;

void ExcelExport::Run()
{
    try {
        Fill();
    } catch (const std::exception& error) {
        qCWarning(lcExport) << "export failed:" << QString::fromUtf8(error.what());
        ShowMessage(MessageType::Error, ExportFailed, QMessageBox::Cancel, source_.window);
    } catch (...) {
        qCWarning(lcExport) << "export failed";
        ShowMessage(MessageType::Error, ExportFailed, QMessageBox::Cancel, source_.window);
    }
    exportQuery_.close();
    // A workbook that was not shown goes with its reference; a shown one stays the operator's.
    ExcelSheet.reset();
    ExcelApp = nullptr;
}

void ExcelExport::Fill()
{
    {
        // Starting the office takes seconds, during which the other windows keep refreshing.
        const WaitCursor cursor;
        RunAside([this] { ExcelApp = &spreadsheets_.Acquire(); });
    }
    source_.openDialog->selectFile(QString());
    const QString templateFile = AskTemplate();
    {
        const WaitCursor cursor;
        ExcelSheet = ExcelApp->NewWorkbook(templateFile);
    }
    ExcelSheet->NameFirstSheet(ExportSheetName(source_.caption));
    WriteHeader();
    OpenExportQuery();
    WriteRows();
    exportQuery_.close();
    ExcelSheet->Show();
    if (const int cut = ExcelSheet->CutTexts())
        ShowMessage(MessageType::Warning, TextsCut.arg(cut), QMessageBox::Ok, source_.window);
}

QString ExcelExport::AskTemplate()
{
    if (ShowMessage(MessageType::Confirmation, UseTemplate, QMessageBox::No | QMessageBox::Ok, source_.window)
        != QMessageBox::Ok)
        return QString();
    QFileDialog& dialog = *source_.openDialog;
    // The folder as stored; either slash separates its parts.
    dialog.setDirectory(QString(source_.templateDir).replace(u'\\', u'/'));
    dialog.selectNameFilter(dialog.nameFilters().value(0));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

void ExcelExport::WriteHeader()
{
    ExcelSheet->WriteCells(3, 2, {{QStringLiteral("Сервер:")}});
    ExcelSheet->WriteCells(3, 3, {{source_.server}});
    ExcelSheet->WriteCells(4, 2, {{QStringLiteral("Фильтр:")}});
    ExcelSheet->WriteCells(4, 3, {{source_.query->filter()}});
    ExcelSheet->WriteCells(6, 2, {{QStringLiteral("Дата отчета:")}});
    ExcelSheet->WriteCells(6, 3, {{QDateTime::currentDateTime()}});
}

void ExcelExport::OpenExportQuery()
{
    // An export before the first Start finds the window's connection not yet open.
    if (!source_.connection->connected())
        OpenConnection(*source_.connection, source_.window);
    if (!OpenCommandQuery(exportQuery_, source_.window))
        throw QuillonError(QStringLiteral("The operator cancelled the script"));
    exportQuery_.setFiltered(source_.query->filtered());
    exportQuery_.setSort(source_.query->sort());
    exportQuery_.first();
}

void ExcelExport::WriteRows()
{
    const int total = exportQuery_.recordCount();
    const int fields = exportQuery_.fieldCount();
    std::unique_ptr<QProgressDialog> progress;
    if (total > ProgressRows) {
        progress = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Отмена"), 0, total, source_.window);
        progress->setObjectName(QStringLiteral("ExportProgress"));
        progress->setWindowTitle(QStringLiteral("Выгрузка в Excel"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setAutoReset(false);
        progress->setAutoClose(false);
    }
    int row = 9;
    int written = 0;
    CellBlock block;
    block.reserve(BlockRows);
    while (!exportQuery_.eof()) {
        std::vector<CellValue> cells;
        cells.reserve(std::size_t(fields));
        for (int column = 0; column < fields; ++column)
            cells.push_back(ExportCell(exportQuery_, column));
        block.push_back(std::move(cells));
        exportQuery_.next();
        if (int(block.size()) < BlockRows && !exportQuery_.eof())
            continue;
        ExcelSheet->WriteCells(row, 1, block);
        row += int(block.size());
        written += int(block.size());
        block.clear();
        if (progress) {
            progress->setLabelText(QStringLiteral("Выгружено строк: %1 из %2").arg(written).arg(total));
            progress->setValue(written);
            // Cancelling keeps what is written and shows it.
            if (progress->wasCanceled())
                return;
        }
    }
}
