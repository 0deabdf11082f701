#include "ProgramFixture.h"

#include "platform/QuillonError.h"
#include "platform/TextCodec.h"

#include <QtTest>

// The scripts file: loading, sorting, splitting and saving the catalogue.
class TestCatalogueFile : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFixture> program;
    TApp* app = nullptr;

    QStringList entries() const
    {
        QStringList result;
        for (const auto& s : app->Sensors)
            result << s->Name + QLatin1Char('|') + s->Id + QLatin1Char('|') + s->ScriptFile;
        return result;
    }

    void writeCatalogue(const QString& text)
    {
        program->folder.write(QStringLiteral("Config/Sensors.ini"), ToCp1251(text));
    }

private Q_SLOTS:
    void init()
    {
        program = std::make_unique<ProgramFixture>();
        app = program->startApp();
    }

    void cleanup() { program.reset(); }

    void loadsSortedWithoutRegardToCase()
    {
        writeCatalogue(QStringLiteral("b;2;y.sql\r\nA;1;x.sql\r\n"));
        app->LoadSensors();
        QCOMPARE(entries(), (QStringList{"A|1|x.sql", "b|2|y.sql"}));
    }

    void splitsLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("entry");
        QTest::newRow("extra delimiters stay in the file name") << "A;B;C;D" << "A|B|C;D";
        QTest::newRow("two fields") << "A;B" << "A||B";
        QTest::newRow("no delimiter") << "whole line" << "||whole line";
        QTest::newRow("blanks around fields") << "  A ; 1 ;x.sql \t" << "A|1|x.sql";
        QTest::newRow("cyrillic") << "Процессы;WHO;Scripts\\who.sql" << "Процессы|WHO|Scripts\\who.sql";
    }

    void splitsLines()
    {
        QFETCH(QString, line);
        writeCatalogue(line + QStringLiteral("\r\n"));
        app->LoadSensors();
        QTEST(entries().value(0), "entry");
        QCOMPARE(entries().size(), 1);
    }

    void emptyLineIsAnEntry()
    {
        writeCatalogue(QStringLiteral("A;1;x.sql\n\nB;2;y.sql"));
        app->LoadSensors();
        QCOMPARE(entries(), (QStringList{"||", "A|1|x.sql", "B|2|y.sql"}));
    }

    void backslashAndSlashNameTheSameFile()
    {
        writeCatalogue(QStringLiteral("A;1;x.sql\r\n"));
        app->SensorsFile = QStringLiteral("Config\\Sensors.ini");
        app->LoadSensors();
        QCOMPARE(entries(), QStringList{"A|1|x.sql"});
    }

    void missingFileEmptiesCatalogue()
    {
        writeCatalogue(QStringLiteral("A;1;x.sql\r\n"));
        app->LoadSensors();
        app->SensorsFile = QStringLiteral("Config/Missing.ini");
        try {
            app->LoadSensors();
            QFAIL("loading a missing file should fail");
        } catch (const QuillonError& error) {
            QCOMPARE(error.message(), QStringLiteral("Cannot open file ") + app->AppPath + QStringLiteral("Config/Missing.ini"));
        }
        QVERIFY(app->Sensors.empty());
    }

    void savesSortedInWindows1251WithCrLf()
    {
        auto add = [&](const QString& name, const QString& id, const QString& file) {
            auto s = std::make_unique<TSensor>();
            s->Name = name;
            s->Id = id;
            s->ScriptFile = file;
            app->Sensors.push_back(std::move(s));
        };
        add(QStringLiteral("яблоко"), QStringLiteral("Z"), QStringLiteral("z.sql"));
        add(QStringLiteral("b"), QStringLiteral(" 2 "), QStringLiteral("y.sql"));
        add(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("x.sql"));
        app->SaveSensors();
        QCOMPARE(program->folder.read(QStringLiteral("Config/Sensors.ini")),
                 QByteArray("A;1;x.sql\r\nb; 2 ;y.sql\r\n") + ToCp1251(QStringLiteral("яблоко;Z;z.sql\r\n")));
    }

    void savingEmptyCatalogueKeepsFile()
    {
        writeCatalogue(QStringLiteral("A;1;x.sql\r\n"));
        app->SaveSensors();
        app->LoadSensors();
        QCOMPARE(entries(), QStringList{"A|1|x.sql"});
    }

    void delimiterInNameChangesEntryOnReload()
    {
        auto s = std::make_unique<TSensor>();
        s->Name = QStringLiteral("a;b");
        s->Id = QStringLiteral("ID");
        s->ScriptFile = QStringLiteral("f.sql");
        app->Sensors.push_back(std::move(s));
        app->SaveSensors();
        QCOMPARE(program->folder.read(QStringLiteral("Config/Sensors.ini")), QByteArray("a;b;ID;f.sql\r\n"));
        app->LoadSensors();
        QCOMPARE(entries(), QStringList{"a|b|ID;f.sql"});
    }

    void otherDelimiter()
    {
        writeCatalogue(QStringLiteral("A;1;x.sql\r\n"));
        app->IniDelimiter = QStringLiteral("|");
        app->LoadSensors();
        QCOMPARE(entries(), QStringList{"||A;1;x.sql"});
    }

    void longDelimiterKeepsItsTail()
    {
        writeCatalogue(QStringLiteral("A::1::x.sql\r\n"));
        app->IniDelimiter = QStringLiteral("::");
        app->LoadSensors();
        QCOMPARE(entries(), QStringList{"A|:1|:x.sql"});
    }
};

QTEST_GUILESS_MAIN(TestCatalogueFile)
#include "tst_catalogue_file.moc"
