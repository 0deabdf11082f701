#include "DatabaseTest.h"
#ifdef QUILLON_OFFICE_PLUGIN
#include "OfficeProbe.h"
#endif
#include "MonitorWindow.h"
#include "ProgramFixture.h"
#include "ScopedEnvironment.h"
#include "TestDatabase.h"
#include "XlsxCells.h"

#include "app/ServiceClasses.h"
#include "connection/Connect.h"
#include "data/connection/Connection.h"
#include "data/Query.h"
#include "monitor/ExcelExport.h"
#include "monitor/ExportCells.h"
#include "monitor/ExportSpreadsheets.h"
#include "monitor/FormMon.h"
#include "platform/spreadsheet/SpreadsheetProvider.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

// The export of a monitor window's result, through F5, against the real test server, with the
// .xlsx writer read back from its file.
class TestExcelExport : public DatabaseTest {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    ModalDriver* driver = nullptr;
    std::unique_ptr<QTemporaryDir> files;
    QStringList opened;
    QList<ShownMessage> boxes;
    QMessageBox::StandardButton templateAnswer = QMessageBox::No;

    static constexpr const char* DataScript =
        "select g as n, case when g = 2 then null else g * 10 end as qty, g / 4.0::float8 as ratio,\r\n"
        " (g * 1.25)::numeric(10,2) as amount, g::int2 as small, g::int8 * 1000000000 as big,\r\n"
        " case when g = 3 then null else timestamp '2004-10-21 14:05' + g * interval '1 day' end as stamp,\r\n"
        " 'name ' || g as name, case when g = 1 then null else 'x' end as maybe\r\n"
        "from generate_series(1, 5) g";

    void writeScript(const QByteArray& sql) { program->writeCatalogue({{QStringLiteral("data"), sql}}); }

    std::unique_ptr<TFormMon> window()
    {
        return ShowMonitor({.connectionString = TestDatabase::pgConnectionString(),
                            .server = TestDatabase::pgDsn(),
                            .templateDir = files->path().replace(u'/', u'\\') + QStringLiteral("\\")});
    }

    // One pass of the script: the window's rows, as after a Start at interval 0.
    std::unique_ptr<TFormMon> startedWindow()
    {
        auto w = window();
        w->acStart->trigger();
        if (!QTest::qWaitFor([&] { return w->Query->active() && !w->Working; }, 15000))
            qFatal("the window's first pass did not end");
        return w;
    }

    void pressF5(TFormMon& w)
    {
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(w.DBGrid, Qt::Key_F5);
    }

    QList<ShownMessage> errors() const
    {
        QList<ShownMessage> found;
        for (const ShownMessage& box : boxes) {
            if (box.type == MessageType::Error)
                found.append(box);
        }
        return found;
    }

    void verifyFailedOnce()
    {
        const QList<ShownMessage> shown = errors();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Ошибка выгрузки данных в Excel!"));
        QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QVERIFY(opened.isEmpty());
        QCOMPARE(QDir(files->path()).entryList({QStringLiteral("*.xlsx")}, QDir::Files), QStringList());
    }

    XlsxSheet exported()
    {
        if (opened.size() != 1)
            qFatal("expected one exported file, got %d", int(opened.size()));
        return ReadXlsx(opened[0]);
    }

    static QString column(const XlsxSheet& sheet, const QString& letter, int firstRow, int count)
    {
        QStringList values;
        for (int row = firstRow; row < firstRow + count; ++row)
            values.append(sheet.cells.value(letter + QString::number(row)).value);
        return values.join(u'|');
    }

    void prepareDatabase() override { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>([this](const ShownMessage& message) {
            boxes.append(message);
            return message.type == MessageType::Confirmation ? templateAnswer : QMessageBox::Cancel;
        });
        program->startApp();
        driver = &program->modals;
        files = std::make_unique<QTemporaryDir>();
        opened.clear();
        boxes.clear();
        templateAnswer = QMessageBox::No;
        OfficeOptions noOffice;
        noOffice.pluginFile = files->filePath(QStringLiteral("no_office_plugin"));
        SetExportSpreadsheets(std::make_unique<SpreadsheetProvider>(noOffice, files->path(), [this](const QString& file) {
            opened.append(file);
            return true;
        }));
        writeScript(DataScript);
    }

    void cleanup()
    {
        program->verifyModals();
        SetExportSpreadsheets(nullptr);
        program.reset();
    }

    void sheetNamesAreCleanedAndCut()
    {
        QCOMPARE(ExportSheetName(QStringLiteral("SRV\\INST")), QStringLiteral("SRV-INST"));
        QCOMPARE(ExportSheetName(QStringLiteral("a/b[c]d*e?f&g")), QStringLiteral("a-b-c-d-e-f-g"));
        QCOMPARE(ExportSheetName(QStringLiteral("0123456789").repeated(4)), QStringLiteral("0123456789").repeated(3));
        QCOMPARE(ExportSheetName(QStringLiteral("  \t srv \x01")), QStringLiteral("srv"));
        // Blanks that the cut brings to the end go as well.
        QCOMPARE(ExportSheetName(QStringLiteral("x").repeated(28) + QStringLiteral("  tail")), QStringLiteral("x").repeated(28));
        QCOMPARE(ExportSheetName(QString()), QString());
        QCOMPARE(ExportDateText(QDate(2004, 10, 21)), QStringLiteral("21.10.2004"));
        QCOMPARE(ExportDateText(QDate(5, 1, 2)), QStringLiteral("02.01.0005"));
    }

    void answeringNoExportsTheRowsUnderTheHeader()
    {
        auto w = startedWindow();
        w->Query->setSort(QStringLiteral("[n] DESC"));
        w->setWindowTitle(QStringLiteral("SRV\\INST ") + QStringLiteral("z").repeated(30));
        const QDateTime before = QDateTime::currentDateTime();
        pressF5(*w);

        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].type, MessageType::Confirmation);
        QCOMPARE(boxes[0].text, QStringLiteral("Использовать шаблон выгрузки?"));
        QCOMPARE(boxes[0].buttons, QMessageBox::No | QMessageBox::Ok);
        const XlsxSheet sheet = exported();
        QCOMPARE(sheet.name, QStringLiteral("SRV-INST ") + QStringLiteral("z").repeated(21));
        QCOMPARE(sheet.cells.value(QStringLiteral("B3")).value, QStringLiteral("Сервер:"));
        QCOMPARE(sheet.cells.value(QStringLiteral("C3")).value, TestDatabase::pgDsn());
        QCOMPARE(sheet.cells.value(QStringLiteral("B4")).value, QStringLiteral("Фильтр:"));
        QVERIFY(!sheet.cells.contains(QStringLiteral("C4")));
        QCOMPARE(sheet.cells.value(QStringLiteral("B6")).value, QStringLiteral("Дата отчета:"));
        const double reportDate = sheet.cells.value(QStringLiteral("C6")).value.toDouble();
        QVERIFY(!sheet.cells.value(QStringLiteral("C6")).text);
        QCOMPARE(sheet.cells.value(QStringLiteral("C6")).format.toUpper(), QStringLiteral("DD\\.MM\\.YYYY HH:MM:SS"));
        QVERIFY(sheet.widths.value(QStringLiteral("B")) >= QStringLiteral("Дата отчета:").size());
        QVERIFY(reportDate >= QDate(1899, 12, 30).daysTo(before.date()));
        for (const QString& cell : sheet.cells.keys()) {
            const int row = cell.mid(1).toInt();
            QVERIFY2(row >= 3 && row != 5 && row != 7 && row != 8, qPrintable(cell));
            QVERIFY2(!sheet.cells[cell].formula, qPrintable(cell));
        }
        // Rows from 9 in the window's order; no column titles.
        QCOMPARE(column(sheet, QStringLiteral("A"), 9, 6), QStringLiteral("5|4|3|2|1|"));
        QVERIFY(!sheet.cells.value(QStringLiteral("A9")).text);
        QCOMPARE(column(sheet, QStringLiteral("B"), 9, 5), QStringLiteral("50|40|30|0|10"));
        QCOMPARE(column(sheet, QStringLiteral("C"), 9, 5), QStringLiteral("1.25|1|0.75|0.5|0.25"));
        // Fixed-point decimals, 16- and 64-bit integers are texts, as the grid shows them.
        QCOMPARE(column(sheet, QStringLiteral("D"), 9, 5), QStringLiteral("6,25|5,00|3,75|2,50|1,25"));
        QVERIFY(sheet.cells.value(QStringLiteral("D9")).text);
        QCOMPARE(column(sheet, QStringLiteral("E"), 9, 2), QStringLiteral("5|4"));
        QVERIFY(sheet.cells.value(QStringLiteral("E9")).text);
        QCOMPARE(sheet.cells.value(QStringLiteral("F9")).value, QStringLiteral("5000000000"));
        QVERIFY(sheet.cells.value(QStringLiteral("F9")).text);
        // Date-times are the text of their date; a missing one is day 0 of the scale.
        QCOMPARE(column(sheet, QStringLiteral("G"), 9, 5),
                 QStringLiteral("26.10.2004|25.10.2004|30.12.1899|23.10.2004|22.10.2004"));
        QVERIFY(sheet.cells.value(QStringLiteral("G9")).text);
        QCOMPARE(column(sheet, QStringLiteral("H"), 9, 1), QStringLiteral("name 5"));
        QCOMPARE(column(sheet, QStringLiteral("I"), 9, 5), QStringLiteral("x|x|x|x|"));
        QVERIFY(!sheet.cells.contains(QStringLiteral("I13")));
        QVERIFY(!sheet.cells.contains(QStringLiteral("J9")));
    }

    void okThenCancelledDialogIsLikeNo()
    {
        auto w = startedWindow();
        templateAnswer = QMessageBox::Ok;
        QString folderShown;
        QStringList filters;
        QString title;
        driver->next<QFileDialog>([&](QFileDialog* dialog) {
            folderShown = dialog->directory().absolutePath();
            filters = dialog->nameFilters();
            title = dialog->windowTitle();
            QCOMPARE(dialog->selectedNameFilter(), filters.value(0));
            dialog->reject();
        });
        pressF5(*w);
        QCOMPARE(title, QStringLiteral("Укажите шаблон"));
        QCOMPARE(filters, (QStringList{QStringLiteral("Шаблон выгрузки в Excel (*.xlt *.xltx *.ots)"),
                                       QStringLiteral("Все файлы (*.*)")}));
        QCOMPARE(folderShown, QDir(files->path()).absolutePath());
        QVERIFY(errors().isEmpty());
        QCOMPARE(column(exported(), QStringLiteral("A"), 9, 6), QStringLiteral("1|2|3|4|5|"));
    }

    void aTemplateWithoutTheOfficeFails()
    {
        auto w = startedWindow();
        templateAnswer = QMessageBox::Ok;
        QFile report(files->filePath(QStringLiteral("report.xlt")));
        QVERIFY(report.open(QIODevice::WriteOnly));
        report.close();
        driver->next<QFileDialog>([&](QFileDialog* dialog) {
            // As the operator types it: the dialog checks the file itself.
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(report.fileName());
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        pressF5(*w);
        verifyFailedOnce();
    }

    void theFilterNarrowsTheRowsAndHeadsTheSheet()
    {
        auto w = startedWindow();
        w->Query->setFilter(QStringLiteral("[n] > 2"));
        w->Query->setFiltered(true);
        w->Query->setSort(QStringLiteral("[name] DESC"));
        pressF5(*w);
        const XlsxSheet sheet = exported();
        QCOMPARE(sheet.cells.value(QStringLiteral("C4")).value, QStringLiteral("[n] > 2"));
        QCOMPARE(column(sheet, QStringLiteral("A"), 9, 4), QStringLiteral("5|4|3|"));

        // A filter text that is switched off heads the sheet but narrows nothing.
        opened.clear();
        w->Query->setFiltered(false);
        w->Query->setFilter(QStringLiteral("[n] > 'x"));
        pressF5(*w);
        const XlsxSheet unfiltered = exported();
        QCOMPARE(unfiltered.cells.value(QStringLiteral("C4")).value, QStringLiteral("[n] > 'x"));
        QCOMPARE(column(unfiltered, QStringLiteral("A"), 9, 6), QStringLiteral("5|4|3|2|1|"));
    }

    void anEmptyResultGivesTheHeaderAlone()
    {
        writeScript("select g as n from generate_series(1, 0) g");
        auto w = startedWindow();
        pressF5(*w);
        const XlsxSheet sheet = exported();
        QCOMPARE(sheet.cells.value(QStringLiteral("B3")).value, QStringLiteral("Сервер:"));
        QVERIFY(!sheet.cells.contains(QStringLiteral("A9")));
        QVERIFY(errors().isEmpty());
    }

    void beforeTheFirstStartTheWindowsSqlTextRuns()
    {
        auto w = window();
        QVERIFY(!w->ADOC->connected());
        // The design-time text is SQL Server's: this server refuses it.
        pressF5(*w);
        verifyFailedOnce();

        boxes.clear();
        w->Query->setSql({QStringLiteral("select 7 as seven")});
        pressF5(*w);
        QVERIFY(errors().isEmpty());
        QCOMPARE(exported().cells.value(QStringLiteral("A9")).value, QStringLiteral("7"));
    }

    void aFailingScriptOrDeadServerShowsOneErrorAndNoFile()
    {
        auto w = startedWindow();
        w->Query->setSql({QStringLiteral("select * from no_such_table")});
        pressF5(*w);
        verifyFailedOnce();

        boxes.clear();
        w->Query->setSql({QStringLiteral("select 1 as one")});
        w->ADOC->close();
        w->ADOC->setConnectionString(QStringLiteral("Data Source=no_such_source"));
        pressF5(*w);
        verifyFailedOnce();
    }

    void manyRowsShowProgressAndCancelKeepsWhatIsWritten()
    {
        writeScript("select g as n, 'row ' || g as name from generate_series(1, 12000) g order by g");
        auto w = startedWindow();
        int maximum = 0;
        driver->next<QProgressDialog>([&](QProgressDialog* progress) {
            maximum = progress->maximum();
            progress->cancel();
        });
        pressF5(*w);
        QCOMPARE(maximum, 12000);
        QVERIFY(errors().isEmpty());
        const XlsxSheet sheet = exported();
        int rows = 0;
        while (sheet.cells.contains(QStringLiteral("A") + QString::number(9 + rows)))
            ++rows;
        QVERIFY2(rows > 0 && rows < 12000 && rows % ExcelExport::BlockRows == 0, qPrintable(QString::number(rows)));
        QCOMPARE(sheet.cells.value(QStringLiteral("B") + QString::number(8 + rows)).value,
                 QStringLiteral("row ") + QString::number(rows));
    }

    void fewRowsShowNoProgress()
    {
        writeScript("select g as n from generate_series(1, 5000) g");
        auto w = startedWindow();
        bool progressShown = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
                progressShown = true;
        });
        watch.start(0);
        pressF5(*w);
        QVERIFY(!progressShown);
        QCOMPARE(exported().cells.value(QStringLiteral("A5008")).value, QStringLiteral("5000"));
    }

    void textsLongerThanACellHoldsAreCutAndToldOnce()
    {
        // The script file is in the 8-bit code page: the server makes the Cyrillic letters.
        writeScript("select repeat(chr(1078), 40000) as long_text, 'x' as short, repeat(chr(1103), 32768) as just_over\r\n"
                    "from generate_series(1, 2) g");
        auto w = startedWindow();
        int openedWhenTold = -1;
        SetMessageHandler([&](const ShownMessage& message) {
            boxes.append(message);
            if (message.type == MessageType::Warning)
                openedWhenTold = int(opened.size());
            return message.type == MessageType::Confirmation ? QMessageBox::No : QMessageBox::Ok;
        });
        pressF5(*w);
        QVERIFY(errors().isEmpty());
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].type, MessageType::Warning);
        QCOMPARE(boxes[1].text, QStringLiteral("Текст длиннее 32767 символов не помещается в ячейку Excel.\n"
                                               "Обрезано ячеек: 4, в конце каждой стоит знак \"…\"."));
        QCOMPARE(boxes[1].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // Told once the workbook is the operator's.
        QCOMPARE(openedWhenTold, 1);
        const XlsxSheet sheet = exported();
        QCOMPARE(sheet.cells.value(QStringLiteral("A10")).value, QStringLiteral("ж").repeated(32766) + QStringLiteral("…"));
        QCOMPARE(sheet.cells.value(QStringLiteral("B10")).value, QStringLiteral("x"));
        QCOMPARE(sheet.cells.value(QStringLiteral("C9")).value, QStringLiteral("я").repeated(32766) + QStringLiteral("…"));
    }

#ifdef QUILLON_OFFICE_PLUGIN
    // Where the office cannot show a workbook, as the headless build the tests use cannot, F5
    // starts no office that would die showing it, and gives the .xlsx at once.
    void anOfficeThatCannotShowAWorkbookGivesTheXlsx()
    {
        const QString pipe = QStringLiteral("quillon_export_test_%1").arg(QCoreApplication::applicationPid());
        OfficeOptions shown;
        shown.pluginFile = QStringLiteral(QUILLON_OFFICE_PLUGIN);
        shown.pipeName = pipe;
        SetExportSpreadsheets(std::make_unique<SpreadsheetProvider>(shown, files->path(), [this](const QString& file) {
            opened.append(file);
            return true;
        }));
        // Also an office with windows shows none without a display.
        const ScopedEnvironment noDisplay{{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}};
        auto w = startedWindow();
        pressF5(*w);
        QVERIFY(errors().isEmpty());
        QCOMPARE(column(exported(), QStringLiteral("A"), 9, 6), QStringLiteral("1|2|3|4|5|"));
        QVERIFY(OfficeProbe::Processes(pipe).isEmpty());
    }

    // Through a headless Calc of the test's own: a template's untitled copy gets the rows, and a
    // failed export closes its document and ends the idle office.
    void throughTheOfficeWithATemplateAndAFailure()
    {
        QTemporaryDir profile;
        const QString pipe = QStringLiteral("quillon_export_test_%1").arg(QCoreApplication::applicationPid());
        OfficeOptions office;
        office.pluginFile = QStringLiteral(QUILLON_OFFICE_PLUGIN);
        office.headless = true;
        office.pipeName = pipe;
        office.profileUrl = QUrl::fromLocalFile(profile.path()).toString();
        SetExportSpreadsheets(std::make_unique<SpreadsheetProvider>(office, files->path(), [this](const QString& file) {
            opened.append(file);
            return true;
        }));
        auto ended = qScopeGuard([&] {
            if (!OfficeProbe::Processes(pipe).isEmpty())
                OfficeProbe(pipe).CloseAll();
            SetExportSpreadsheets(nullptr);
            QVERIFY2(OfficeProbe::AllEnded(pipe), "an office process was left behind");
        });

        auto w = startedWindow();
        w->Query->setSort(QStringLiteral("[n] DESC"));
        // The template is made by the office the export then uses.
        ExportSpreadsheets().Acquire();
        const QString report = files->filePath(QStringLiteral("report.ots"));
        OfficeProbe(pipe).MakeFile(report, "calc8_template", {{"A1", "Отчёт"}, {"A8", "n"}, {"B8", "qty"}});
        templateAnswer = QMessageBox::Ok;
        driver->next<QFileDialog>([&](QFileDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(report);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        pressF5(*w);
        QVERIFY(errors().isEmpty());
        QVERIFY(opened.isEmpty());
        {
            const OfficeProbe probe(pipe);
            const QList<OfficeProbe::Document> documents = probe.Documents();
            QCOMPARE(documents.size(), 1);
            QVERIFY(OfficeProbe::Untitled(documents[0]));
            QCOMPARE(OfficeProbe::SheetName(documents[0]), ExportSheetName(w->windowTitle()));
            const QList<QVariantList> cells = OfficeProbe::Cells(documents[0], QStringLiteral("A1:C13"));
            QCOMPARE(cells[0][0], QVariant(QStringLiteral("Отчёт")));
            QCOMPARE(cells[2][1], QVariant(QStringLiteral("Сервер:")));
            QCOMPARE(cells[7], (QVariantList{QStringLiteral("n"), QStringLiteral("qty"), QString()}));
            QCOMPARE(cells[8], (QVariantList{5.0, 50.0, 1.25}));
            QCOMPARE(cells[11], (QVariantList{2.0, 0.0, 0.5}));
            QCOMPARE(OfficeProbe::Cells(documents[0], QStringLiteral("G11"))[0][0], QVariant(QStringLiteral("30.12.1899")));
            probe.CloseAll();
        }

        templateAnswer = QMessageBox::No;
        w->Query->setSql({QStringLiteral("select * from no_such_table")});
        pressF5(*w);
        verifyFailedOnce();
        QVERIFY2(OfficeProbe::AllEnded(pipe), "a failed export leaves no idle office");
    }
#endif
};

QTEST_MAIN(TestExcelExport)
#include "tst_excel_export.moc"
