#include "XlsxCells.h"

#include "platform/spreadsheet/DateSeparator.h"
#include "platform/spreadsheet/SpreadsheetError.h"
#include "platform/spreadsheet/SpreadsheetProvider.h"
#include "platform/spreadsheet/XlsxSpreadsheet.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

// The .xlsx writer that stands in for the office, read back from the file it hands over.
class TestXlsxWorkbook : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    QStringList opened;
    bool openSucceeds = true;

    XlsxSpreadsheet spreadsheet()
    {
        return XlsxSpreadsheet(folder->path(), [this](const QString& file) {
            opened.append(file);
            return openSucceeds;
        });
    }

    QStringList filesLeft() const { return QDir(folder->path()).entryList(QDir::Files); }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        opened.clear();
        openSucceeds = true;
    }

    void valuesLandAsWrittenAndTheFileGoesToTheDesktop()
    {
        XlsxSpreadsheet sheets = spreadsheet();
        auto book = sheets.NewWorkbook(QString());
        book->NameFirstSheet(QStringLiteral("Сервер-1"));
        book->WriteCells(3, 2, {{QStringLiteral("Сервер:"), QStringLiteral("SRV")}});
        book->WriteCells(4, 3, {{QString()}});
        book->WriteCells(6, 3, {{QDateTime(QDate(2004, 10, 21), QTime(14, 5, 30))}});
        book->WriteCells(9, 1, {{42.0, QStringLiteral("=1+1"), QStringLiteral("21.10.2004")},
                                {-1.5, QStringLiteral("0012"), QString()}});
        QVERIFY(opened.isEmpty());
        book->Show();

        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].startsWith(folder->path()));
        QVERIFY(opened[0].endsWith(QStringLiteral(".xlsx")));
        const XlsxSheet sheet = ReadXlsx(opened[0]);
        QCOMPARE(sheet.name, QStringLiteral("Сервер-1"));
        QCOMPARE(sheet.cells.value(QStringLiteral("B3")).value, QStringLiteral("Сервер:"));
        QVERIFY(!sheet.cells.contains(QStringLiteral("C4")));
        QVERIFY(!sheet.cells.contains(QStringLiteral("A1")));
        const XlsxCell stamp = sheet.cells.value(QStringLiteral("C6"));
        QVERIFY(!stamp.text);
        QVERIFY(stamp.style > 0);
        // 21.10.2004 is day 38281 of the scale that starts on 30.12.1899.
        QCOMPARE(std::floor(stamp.value.toDouble()), 38281.0);
        QVERIFY(qAbs(stamp.value.toDouble() - 38281 - (14 * 3600 + 5 * 60 + 30) / 86400.0) < 1e-6);
        QCOMPARE(sheet.cells.value(QStringLiteral("A9")).value, QStringLiteral("42"));
        QVERIFY(!sheet.cells.value(QStringLiteral("A9")).text);
        QCOMPARE(sheet.cells.value(QStringLiteral("A10")).value.toDouble(), -1.5);
        // Texts stay texts: no formula, no number read out of them.
        const XlsxCell formula = sheet.cells.value(QStringLiteral("B9"));
        QVERIFY(formula.text);
        QVERIFY(!formula.formula);
        QCOMPARE(formula.value, QStringLiteral("=1+1"));
        QCOMPARE(sheet.cells.value(QStringLiteral("B10")).value, QStringLiteral("0012"));
        QVERIFY(sheet.cells.value(QStringLiteral("B10")).text);
        QCOMPARE(sheet.cells.value(QStringLiteral("C9")).value, QStringLiteral("21.10.2004"));
    }

    void twoWorkbooksNeverShareAFile()
    {
        XlsxSpreadsheet sheets = spreadsheet();
        auto first = sheets.NewWorkbook(QString());
        auto second = sheets.NewWorkbook(QString());
        first->Show();
        second->Show();
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0] != opened[1]);
        QCOMPARE(filesLeft().size(), 2);
    }

    void aWorkbookNeverShownLeavesNoFile()
    {
        XlsxSpreadsheet sheets = spreadsheet();
        {
            auto book = sheets.NewWorkbook(QString());
            book->WriteCells(9, 1, {{1.0}});
        }
        QVERIFY(opened.isEmpty());
        QCOMPARE(filesLeft(), QStringList());
    }

    void refusalsAreErrors()
    {
        XlsxSpreadsheet sheets = spreadsheet();
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, sheets.NewWorkbook(QStringLiteral("/tmp/report.xlt")));
        QCOMPARE(filesLeft(), QStringList());

        for (const QString& name : {QStringLiteral("a:b"), QStringLiteral("a[1]"), QString(),
                                    QStringLiteral("x").repeated(32)}) {
            auto book = sheets.NewWorkbook(QString());
            QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->NameFirstSheet(name));
        }

        auto book = sheets.NewWorkbook(QString());
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->WriteCells(9, 1, {{std::nan("")}}));
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->WriteCells(9, 1, {{HUGE_VAL}}));
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->WriteCells(1048577, 1, {{1.0}}));
        QVERIFY(opened.isEmpty());
    }

    void aFileNoApplicationOpensIsAnError()
    {
        openSucceeds = false;
        XlsxSpreadsheet sheets = spreadsheet();
        auto book = sheets.NewWorkbook(QString());
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->Show());
    }

    void textsLongerThanACellHoldsAreCutMarkedAndCounted()
    {
        XlsxSpreadsheet sheets = spreadsheet();
        auto book = sheets.NewWorkbook(QString());
        const QString smile = QStringLiteral("\U0001F600");
        book->WriteCells(9, 1, {{QStringLiteral("ж").repeated(40000), QStringLiteral("ж").repeated(32767),
                                 QStringLiteral("a") + smile.repeated(20000)}});
        QCOMPARE(book->CutTexts(), 2);
        book->Show();
        const XlsxSheet sheet = ReadXlsx(opened[0]);
        const QString cut = sheet.cells.value(QStringLiteral("A9")).value;
        QCOMPARE(cut, QStringLiteral("ж").repeated(32766) + QStringLiteral("…"));
        QCOMPARE(sheet.cells.value(QStringLiteral("B9")).value.size(), 32767);
        // A character of two places at the cut is dropped whole.
        QCOMPARE(sheet.cells.value(QStringLiteral("C9")).value,
                 QStringLiteral("a") + smile.repeated(16382) + QStringLiteral("…"));
    }

    void columnsFitTheirValuesAndNumbersShowAllDigits()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        auto defaultLocale = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
        XlsxSpreadsheet sheets = spreadsheet();
        auto book = sheets.NewWorkbook(QString());
        book->WriteCells(6, 2, {{QStringLiteral("Дата отчета:"), QDateTime(QDate(2026, 12, 9), QTime(0, 16))}});
        book->WriteCells(9, 1, {{2147483647.0, QStringLiteral("x"), 0.1 + 0.2, QStringLiteral("я").repeated(300),
                                 QStringLiteral("ab\ncd")},
                                {-5.0, QStringLiteral("y"), 1e20, QString(), QString()}});
        book->Show();
        const XlsxSheet sheet = ReadXlsx(opened[0]);

        QCOMPARE(sheet.cells.value(QStringLiteral("C6")).format.toUpper(), QStringLiteral("DD\\.MM\\.YYYY HH:MM:SS"));
        QCOMPARE(sheet.cells.value(QStringLiteral("A9")).format, QStringLiteral("0"));
        QCOMPARE(sheet.cells.value(QStringLiteral("A10")).format, QStringLiteral("0"));
        // Fractions and numbers beyond whole digits keep the general format.
        QCOMPARE(sheet.cells.value(QStringLiteral("C9")).format, QStringLiteral("General"));
        QCOMPARE(sheet.cells.value(QStringLiteral("C10")).format, QStringLiteral("General"));
        QCOMPARE(sheet.cells.value(QStringLiteral("B9")).format, QStringLiteral("General"));

        // Wide enough for "Дата отчета:", the report date and ten digits; bounded for a long text.
        QVERIFY2(sheet.widths.value(QStringLiteral("B")) >= 12, qPrintable(QString::number(sheet.widths.value("B"))));
        QVERIFY2(sheet.widths.value(QStringLiteral("C")) >= 19, qPrintable(QString::number(sheet.widths.value("C"))));
        QVERIFY2(sheet.widths.value(QStringLiteral("A")) >= 10, qPrintable(QString::number(sheet.widths.value("A"))));
        QVERIFY(sheet.widths.value(QStringLiteral("D")) >= 20);
        QVERIFY(sheet.widths.value(QStringLiteral("D")) < 100);
        // Short values keep the default width.
        QVERIFY(!sheet.widths.contains(QStringLiteral("E")));
    }

    void aHandedOverFileIsRemovedOnceTheOpenerHadIt()
    {
        XlsxSpreadsheet sheets(folder->path(), [this](const QString& file) {
            opened.append(file);
            return true;
        }, std::chrono::milliseconds(300));
        sheets.NewWorkbook(QString())->Show();
        QVERIFY(QFile::exists(opened.value(0)));
        QTRY_COMPARE_WITH_TIMEOUT(filesLeft(), QStringList(), 10000);
    }

    void filesOfEarlierRunsAreRemovedWhenOldEnough()
    {
        const auto make = [&](const QString& name, int ageMinutes) {
            QFile file(folder->filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("PK");
            file.flush();
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * ageMinutes),
                                     QFileDevice::FileModificationTime));
        };
        make(QStringLiteral("Quillon-a1B2c3.xlsx"), 10);
        make(QStringLiteral("Quillon-d4E5f6.xlsx"), 1);
        make(QStringLiteral("Quillon-my-report.xlsx"), 10);
        make(QStringLiteral("Report.xlsx"), 10);
        make(QStringLiteral("Quillon-a1B2c3.xlsx.bak"), 10);
        QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("Quillon-g7H8i9.xlsx")));
        XlsxSpreadsheet::RemoveHandedOver(folder->path(), std::chrono::minutes(5));
        QCOMPARE(filesLeft(), (QStringList{QStringLiteral("Quillon-a1B2c3.xlsx.bak"), QStringLiteral("Quillon-d4E5f6.xlsx"),
                                           QStringLiteral("Quillon-my-report.xlsx"), QStringLiteral("Report.xlsx")}));
        QVERIFY(QFileInfo(folder->filePath(QStringLiteral("Quillon-g7H8i9.xlsx"))).isDir());
    }

    void withoutTheOfficeThePlugInGivesTheXlsxWriter()
    {
        OfficeOptions options;
        options.pluginFile = folder->path() + QStringLiteral("/no_such_plugin");
        SpreadsheetProvider provider(options, folder->path(), [this](const QString& file) {
            opened.append(file);
            return true;
        });
        Spreadsheet& first = provider.Acquire();
        QVERIFY(dynamic_cast<XlsxSpreadsheet*>(&first));
        QCOMPARE(&provider.Acquire(), &first);
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, first.NewWorkbook(QStringLiteral("/tmp/report.xlt")));
    }

    void theDateSeparatorFollowsTheLocale()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(DateSeparator(), QChar(u'.'));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(DateSeparator(), QChar(u'/'));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(DateSeparator(), QChar(u'.'));
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_GUILESS_MAIN(TestXlsxWorkbook)
#include "tst_xlsx_workbook.moc"
