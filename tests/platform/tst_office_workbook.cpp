#include "FileBytes.h"
#include "OfficeProbe.h"
#include "ScopedEnvironment.h"

#include "platform/spreadsheet/OfficeDisplay.h"
#include "platform/spreadsheet/SpreadsheetError.h"
#include "platform/spreadsheet/SpreadsheetProvider.h"
#include "platform/spreadsheet/XlsxSpreadsheet.h"

#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Where the office's runtime puts the socket of a named pipe.
QString PipeSocket(const QString& pipe)
{
    return QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(getuid()).arg(pipe);
}

// A socket file as an office leaves it; with listening, as a running office holds it, until the
// returned descriptor is closed.
int MakeSocket(const QString& path, bool listening)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        qFatal("cannot make the socket %s", name.constData());
    if (!listening) {
        close(fd);
        return -1;
    }
    listen(fd, 5);
    return fd;
}

void MakeOld(const QString& path)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 3600, 0}};
    if (utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        qFatal("cannot date back %s", qPrintable(path));
}

} // namespace

// The office backend against a headless Calc that the test starts through the plugin, read back
// by a second client over the same pipe. Every test ends the office it started, and finds nothing
// of it left in the temporary folder (one of the test's own) or among the pipes.
class TestOfficeWorkbook : public QObject {
    Q_OBJECT

    QTemporaryDir profile;
    QTemporaryDir files;
    QTemporaryDir temp;
    QString pipe;
    std::unique_ptr<SpreadsheetProvider> provider;
    QStringList xlsxOpened;

    OfficeOptions options() const
    {
        OfficeOptions result;
        result.pluginFile = QStringLiteral(QUILLON_OFFICE_PLUGIN);
        result.headless = true;
        result.pipeName = pipe;
        result.profileUrl = QUrl::fromLocalFile(profile.path()).toString();
        return result;
    }

    std::unique_ptr<SpreadsheetProvider> makeProvider(const OfficeOptions& with) 
    {
        return std::make_unique<SpreadsheetProvider>(with, files.path(), [this](const QString& file) {
            xlsxOpened.append(file);
            return true;
        });
    }

    Spreadsheet& office()
    {
        Spreadsheet& spreadsheet = provider->Acquire();
        if (dynamic_cast<XlsxSpreadsheet*>(&spreadsheet))
            qFatal("the office plugin gave no office");
        return spreadsheet;
    }

    OfficeProbe probe() const { return OfficeProbe(pipe); }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void init()
    {
        static int count = 0;
        pipe = QStringLiteral("quillon_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++count);
        provider = makeProvider(options());
        xlsxOpened.clear();
    }

    void cleanup()
    {
        if (!OfficeProbe::Processes(pipe).isEmpty()) {
            try {
                probe().CloseAll();
            } catch (const com::sun::star::uno::Exception&) {
            }
        }
        provider.reset();
        QVERIFY2(OfficeProbe::AllEnded(pipe), "an office process was left behind");
        QVERIFY2(!QFileInfo::exists(PipeSocket(pipe)), "the office's pipe was left behind");
        QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
                 QStringList());
    }

    void aFilledWorkbookReadsBack()
    {
        auto book = office().NewWorkbook(QString());
        book->NameFirstSheet(QStringLiteral("SRV-INST"));
        book->WriteCells(3, 2, {{QStringLiteral("Сервер:")}});
        book->WriteCells(3, 3, {{QStringLiteral("SRV\\INST")}});
        book->WriteCells(4, 3, {{QString()}});
        book->WriteCells(6, 3, {{QDateTime(QDate(2004, 10, 21), QTime(14, 5))}});
        CellBlock rows;
        for (int i = 0; i < 2500; ++i)
            rows.push_back({double(i), QStringLiteral("=A%1").arg(i), QStringLiteral("12.50")});
        book->WriteCells(9, 1, CellBlock(rows.begin(), rows.begin() + 1000));
        book->WriteCells(1009, 1, CellBlock(rows.begin() + 1000, rows.end()));
        // Dates around an empty cell are formatted by runs.
        const QDateTime date(QDate(2020, 1, 2), QTime(3, 4));
        book->WriteCells(9, 5, {{date, date}, {QString(), date}, {date, QString()}});
        book->WriteCells(9, 7, {{QStringLiteral("я").repeated(300)}});
        book->Show();

        const OfficeProbe reader = probe();
        const QList<OfficeProbe::Document> documents = reader.Documents();
        QCOMPARE(documents.size(), 1);
        QVERIFY(OfficeProbe::Untitled(documents[0]));
        QCOMPARE(OfficeProbe::SheetName(documents[0]), QStringLiteral("SRV-INST"));
        const QList<QVariantList> top = OfficeProbe::Cells(documents[0], QStringLiteral("A1:C10"));
        for (int row : {1, 2, 5, 7, 8})
            QCOMPARE(top[row - 1], (QVariantList{QString(), QString(), QString()}));
        QCOMPARE(top[2], (QVariantList{QString(), QStringLiteral("Сервер:"), QStringLiteral("SRV\\INST")}));
        QCOMPARE(top[3][2], QVariant(QString()));
        QCOMPARE(top[5][2].toDouble(), 38281 + (14 * 60 + 5) / 1440.0);
        // The report date in the program's form, as the .xlsx writer shows it.
        QCOMPARE(OfficeProbe::Shown(documents[0], 3, 6), QStringLiteral("21.10.2004 14:05:00"));
        QCOMPARE(top[8], (QVariantList{0.0, QStringLiteral("=A0"), QStringLiteral("12.50")}));
        const QList<QVariantList> last = OfficeProbe::Cells(documents[0], QStringLiteral("A2508:C2509"));
        QCOMPARE(last[0], (QVariantList{2499.0, QStringLiteral("=A2499"), QStringLiteral("12.50")}));
        QCOMPARE(last[1], (QVariantList{QString(), QString(), QString()}));
        for (const auto& [column, row] : {std::pair{5, 9}, std::pair{6, 9}, std::pair{6, 10}, std::pair{5, 11}})
            QCOMPARE(OfficeProbe::Shown(documents[0], column, row), QStringLiteral("02.01.2020 03:04:00"));
        QCOMPARE(OfficeProbe::Shown(documents[0], 5, 10), QString());

        // The columns written fit their values, within a bound and never narrower than before.
        const auto width = [&](int column) { return OfficeProbe::ColumnWidth(documents[0], column); };
        const int untouched = width(8);
        QCOMPARE(width(1), untouched);
        QVERIFY2(width(3) > untouched, qPrintable(QString::number(width(3))));
        QVERIFY(width(5) > untouched);
        QVERIFY(width(7) > width(3));
        QVERIFY2(width(7) < 300 * width(3) / 19, qPrintable(QString::number(width(7))));
    }

    void aLongTextIsKeptWhole()
    {
        auto book = office().NewWorkbook(QString());
        const QString text = QStringLiteral("ж").repeated(40000);
        book->WriteCells(9, 1, {{text}});
        QCOMPARE(book->CutTexts(), 0);
        book->Show();
        QCOMPARE(OfficeProbe::Cells(probe().Documents().value(0), QStringLiteral("A9"))[0][0], QVariant(text));
    }

    void aTemplateGivesAnUntitledWorkbookThatKeepsItsRows()
    {
        office();
        for (const auto& [suffix, filter] : {std::pair{"ots", "calc8_template"},
                                             std::pair{"xlt", "MS Excel 97 Vorlage/Template"},
                                             std::pair{"xltx", "Calc MS Excel 2007 XML Template"}}) {
            const QString file = files.filePath(QStringLiteral("report.") + QLatin1StringView(suffix));
            probe().MakeFile(file, filter,
                             {{"A1", "Отчёт"}, {"B2", "second"}, {"A5", "five"}, {"B7", "seven"}, {"C8", "eight"},
                              {"B3", "old"}});
            const QByteArray before = GetBytes(file);
            auto book = office().NewWorkbook(file);
            book->NameFirstSheet(QStringLiteral("Отчёт ") + QLatin1StringView(suffix));
            book->WriteCells(3, 2, {{QStringLiteral("Сервер:")}});
            book->WriteCells(9, 1, {{1.0, QStringLiteral("x").repeated(100)}});
            book->Show();

            const OfficeProbe reader = probe();
            const QList<OfficeProbe::Document> documents = reader.Documents();
            QCOMPARE(documents.size(), 1);
            QVERIFY2(OfficeProbe::Untitled(documents[0]), suffix);
            const QList<QVariantList> cells = OfficeProbe::Cells(documents[0], QStringLiteral("A1:C9"));
            QCOMPARE(cells[0][0], QVariant(QStringLiteral("Отчёт")));
            QCOMPARE(cells[1][1], QVariant(QStringLiteral("second")));
            QCOMPARE(cells[2][1], QVariant(QStringLiteral("Сервер:")));
            QCOMPARE(cells[4][0], QVariant(QStringLiteral("five")));
            QCOMPARE(cells[6][1], QVariant(QStringLiteral("seven")));
            QCOMPARE(cells[7][2], QVariant(QStringLiteral("eight")));
            QCOMPARE(cells[8][0], QVariant(1.0));
            // The template's column widths are its designer's.
            QCOMPARE(OfficeProbe::ColumnWidth(documents[0], 2), OfficeProbe::ColumnWidth(documents[0], 8));
            QCOMPARE(GetBytes(file), before);
            reader.CloseAll();
        }
    }

    void badTemplatesAndRefusedNamesAreErrors()
    {
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, office().NewWorkbook(files.filePath(QStringLiteral("none.xlt"))));
        // Files the office cannot read as a spreadsheet.
        for (const auto& [name, content] : {std::pair{"garbage.xlt", QByteArray("\x01\x02\xff\xfe PK \x00\x13", 11)},
                                            std::pair{"text.xlt", QByteArray("hello;world\n1;2\n")}}) {
            const QString file = files.filePath(QLatin1StringView(name));
            PutBytes(file, content);
            QVERIFY_THROWS_EXCEPTION(SpreadsheetError, office().NewWorkbook(file));
        }
        // An office an export started and that holds nothing after the failure ends.
        QVERIFY(OfficeProbe::AllEnded(pipe));

        auto kept = office().NewWorkbook(QString());
        kept->Show();
        auto book = office().NewWorkbook(QString());
        for (const QString& name : {QStringLiteral("a:b"), QStringLiteral("[x]"), QStringLiteral("a/b")})
            QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->NameFirstSheet(name));
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->WriteCells(9, 1, {{1.0}, {1.0, 2.0}}));
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->WriteCells(2000000, 1, {{1.0}}));
    }

    void aWorkbookNeverShownIsClosedAndAnIdleOfficeEnds()
    {
        Spreadsheet* first = &office();
        auto shown = first->NewWorkbook(QString());
        shown->Show();
        {
            auto dropped = first->NewWorkbook(QString());
            dropped->WriteCells(9, 1, {{1.0}});
            QCOMPARE(probe().Documents().size(), 2);
        }
        // Another document keeps the office.
        QCOMPARE(probe().Documents().size(), 1);
        QCOMPARE(&office(), first);

        probe().CloseAll();
        {
            auto dropped = first->NewWorkbook(QString());
        }
        QVERIFY2(OfficeProbe::AllEnded(pipe), "an office left without documents ends");
        // The next export starts a new one.
        auto again = office().NewWorkbook(QString());
        again->Show();
        QCOMPARE(probe().Documents().size(), 1);
    }

    void anOfficeThatWentAwayIsStartedAgain()
    {
        office().NewWorkbook(QString())->Show();
        QVERIFY(OfficeProbe::Killed(pipe));
        QVERIFY(OfficeProbe::AllEnded(pipe));
        auto book = office().NewWorkbook(QString());
        book->WriteCells(9, 1, {{QStringLiteral("back")}});
        book->Show();
        QCOMPARE(OfficeProbe::Cells(probe().Documents().value(0), QStringLiteral("A9"))[0][0],
                 QVariant(QStringLiteral("back")));
    }

    void whatAnOfficeThatDiedLeftIsRemovedOnceItIsNoticed()
    {
        office().NewWorkbook(QString())->Show();
        QVERIFY(OfficeProbe::Killed(pipe));
        QVERIFY(OfficeProbe::AllEnded(pipe));
        QVERIFY(QFileInfo::exists(PipeSocket(pipe)));
        QVERIFY(!QDir(temp.path()).isEmpty());
        // The program learns of it at its next export, or when it ends (cleanup checks the rest).
        provider.reset();
    }

    void anOfficeThatCannotShowAWorkbookIsNotStartedToShowOne()
    {
        OfficeOptions shown = options();
        shown.headless = false;
        {
            // No office shows a window without a display.
            const ScopedEnvironment noDisplay{{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}};
            provider = makeProvider(shown);
            Spreadsheet& spreadsheet = provider->Acquire();
            QVERIFY(dynamic_cast<XlsxSpreadsheet*>(&spreadsheet));
            spreadsheet.NewWorkbook(QString())->Show();
            QCOMPARE(xlsxOpened.size(), 1);
            QVERIFY(OfficeProbe::Processes(pipe).isEmpty());
        }
        const QStringList windowPlugins =
            QDir(QStringLiteral(QUILLON_OFFICE_PROGRAM_DIR)).entryList({QStringLiteral("libvclplug_*")}, QDir::Files);
        if (!windowPlugins.isEmpty())
            QSKIP("the installed office has windows; the headless build is what this test needs");
        // The headless build does not show one even where there is a display.
        const ScopedEnvironment display{{"DISPLAY", QByteArray(":0")}, {"WAYLAND_DISPLAY", QByteArray("wayland-0")}};
        provider = makeProvider(shown);
        QVERIFY(dynamic_cast<XlsxSpreadsheet*>(&provider->Acquire()));
        QVERIFY(OfficeProbe::Processes(pipe).isEmpty());
    }

    void anOfficeShowsWorkbooksWithAWindowPluginAndADisplayForIt()
    {
        QTemporaryDir program;
        const auto plugin = [&](const char* name) { PutBytes(program.filePath(QLatin1StringView(name)), {}); };
        plugin("libmergedlo.so");
        const ScopedEnvironment x11{{"DISPLAY", QByteArray(":0")}, {"WAYLAND_DISPLAY", std::nullopt}};
        QVERIFY(!OfficeCanShowWorkbooks(program.path()));
        plugin("libvclplug_genlo.so");
        QVERIFY(OfficeCanShowWorkbooks(program.path()));
        {
            const ScopedEnvironment wayland{{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", QByteArray("wayland-0")}};
            // The plain X11 plugin does not draw on Wayland; a toolkit's does.
            QVERIFY(!OfficeCanShowWorkbooks(program.path()));
            plugin("libvclplug_gtk3lo.so");
            QVERIFY(OfficeCanShowWorkbooks(program.path()));
        }
        const ScopedEnvironment none{{"DISPLAY", std::nullopt}};
        QVERIFY(!OfficeCanShowWorkbooks(program.path()));
    }

    void leftoversOfOfficesThatEndedAreRemovedWhenTheNextStarts()
    {
        const auto programPipe = [] {
            return QStringLiteral("quillon_%1_%2").arg(QCoreApplication::applicationPid()).arg(QUuid::createUuid().toString(QUuid::Id128));
        };
        const auto leave = [&](const QString& name, bool listening, bool old) {
            const int fd = MakeSocket(PipeSocket(name), listening);
            if (!QDir(temp.path()).mkpath(name + QStringLiteral("/lu1234abcd.tmp")))
                qFatal("cannot make the office's folder %s", qPrintable(name));
            if (old) {
                MakeOld(PipeSocket(name));
                MakeOld(temp.filePath(name));
            }
            return fd;
        };
        const QString ended = programPipe();
        const QString endedJustNow = programPipe();
        const QString running = programPipe();
        const QString folderOnly = programPipe();
        const QString another = QStringLiteral("quillon_other_%1").arg(QCoreApplication::applicationPid());
        leave(ended, false, true);
        leave(endedJustNow, false, false);
        const int listener = leave(running, true, true);
        leave(another, false, true);
        QVERIFY(QDir(temp.path()).mkpath(folderOnly));
        MakeOld(temp.filePath(folderOnly));
        auto removeRest = qScopeGuard([&] {
            close(listener);
            for (const QString& name : {endedJustNow, running, another}) {
                QFile::remove(PipeSocket(name));
                QDir(temp.filePath(name)).removeRecursively();
            }
        });

        office();
        QVERIFY(!QFileInfo::exists(PipeSocket(ended)));
        QVERIFY(!QFileInfo::exists(temp.filePath(ended)));
        QVERIFY(!QFileInfo::exists(temp.filePath(folderOnly)));
        // A pipe still listened on, one that may belong to an office just starting, and what is
        // not named as the program names its pipes stay.
        for (const QString& name : {endedJustNow, running, another}) {
            QVERIFY2(QFileInfo::exists(PipeSocket(name)), qPrintable(name));
            QVERIFY2(QFileInfo::exists(temp.filePath(name + QStringLiteral("/lu1234abcd.tmp"))), qPrintable(name));
        }
    }

    void withoutAnInstalledOfficeTheXlsxWriterServes()
    {
        OfficeOptions none = options();
        none.programFolder = files.path();
        provider = makeProvider(none);
        Spreadsheet& spreadsheet = provider->Acquire();
        QVERIFY(dynamic_cast<XlsxSpreadsheet*>(&spreadsheet));
        spreadsheet.NewWorkbook(QString())->Show();
        QCOMPARE(xlsxOpened.size(), 1);
        QVERIFY(OfficeProbe::Processes(pipe).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOfficeWorkbook)
#include "tst_office_workbook.moc"
