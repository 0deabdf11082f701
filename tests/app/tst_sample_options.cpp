#include "DatabaseTest.h"
#include "ProgramFolder.h"
#include "TestDatabase.h"

#include "app/OptionsFile.h"
#include "data/view/FilterExpression.h"
#include "data/Query.h"
#include "data/connection/Connection.h"
#include "data/records/FieldKinds.h"
#include "platform/IniFile.h"
#include "platform/QuillonError.h"
#include "platform/TextCodec.h"

#include <QRegularExpression>
#include <QtTest>

// The sample's script options against the sample catalogue: every section names an entry, and
// every column it names is a column of that entry's result, a running total a number.
// PostgreSQL scripts run on the test database and sp_Who2 on the SQL Server stand-in; the other
// SQL Server scripts, which the stand-in does not answer, name their columns with AS.
class TestSampleOptions : public DatabaseTest {
    Q_OBJECT

public:
    TestSampleOptions() : DatabaseTest(Needs::SqlServerStandIn) {}

private:
    using Columns = QHash<QString, FieldType>;

    static QString sampleText(const QString& relative)
    {
        QFile file(QStringLiteral(QUILLON_SAMPLE_DIR "/") + relative);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("no sample file %s", qPrintable(relative));
        return QString::fromUtf8(file.readAll());
    }

    // The script file of each identifier.
    static QHash<QString, QString> catalogue()
    {
        QHash<QString, QString> entries;
        for (const QString& line : sampleText(QStringLiteral("Config/Sensors.ini")).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u';');
            entries.insert(fields.value(1).toUpper(), fields.value(2));
        }
        return entries;
    }

    // The result's columns by lower-case name, each with its kind.
    static Columns resultColumns(const QString& connectionString, const QString& script)
    {
        Connection connection;
        connection.setConnectionString(connectionString);
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setDecimalsAsFloat(true);
        query.setSql({script});
        query.open();
        Columns columns;
        for (int i = 0; i < query.fieldCount(); ++i)
            columns.insert(query.fieldName(i).toLower(), query.fieldType(i));
        return columns;
    }

    // The names a script's text gives its columns, by lower-case name; their kinds are not known.
    static Columns aliases(const QString& script)
    {
        static const QRegularExpression alias(QStringLiteral(R"(\bAS\s+\[?(\w+)\]?)"), QRegularExpression::CaseInsensitiveOption);
        Columns columns;
        for (const QRegularExpressionMatch& match : alias.globalMatch(script))
            columns.insert(match.captured(1).toLower(), FieldType::VarChar);
        return columns;
    }

private Q_SLOTS:
    void everySectionNamesAnEntryAndColumnsOfItsResult()
    {
        // As a build places it: Windows-1251.
        ProgramFolder folder;
        folder.write(QStringLiteral("Config/Options.ini"), ToCp1251(sampleText(QStringLiteral("Config/Options.ini"))));
        const QString file = folder.file(QStringLiteral("Config/Options.ini"));
        const QHash<QString, QString> entries = catalogue();
        const QStringList sections = IniFile(file).ReadSections();
        QCOMPARE(sections, (QStringList{"WHO", "REQUESTS", "WAITS", "PGACTIVITY", "PGLONG", "BLOCKING", "PGDATABASES"}));
        const QString menus = sampleText(QStringLiteral("Config/Menus.ini"));
        for (const QString& id : sections) {
            QVERIFY2(entries.contains(id.toUpper()), qPrintable(id));
            const ScriptOptions options = ReadScriptOptions(file, id);
            // Without key columns no row of one refresh is found in the next.
            QVERIFY2(!options.keyColumns.isEmpty(), qPrintable(id));
            const QString path = entries.value(id.toUpper());
            const QString script = sampleText(path);
            const bool postgresql = path.contains(QStringLiteral("/postgresql/"));
            const bool procedure = script.trimmed().startsWith(QStringLiteral("exec"), Qt::CaseInsensitive);
            Columns columns;
            try {
                columns = postgresql ? resultColumns(TestDatabase::pgConnectionString(), script)
                          : procedure ? resultColumns(TestDatabase::mssqlConnectionString(), script)
                                      : aliases(script);
            } catch (const QuillonError& e) {
                QFAIL(qPrintable(id + QStringLiteral(": ") + e.message()));
            }
            for (const QString& command : options.dangerousCommands)
                QVERIFY2(menus.contains(QLatin1Char(';') + command + QLatin1Char(';')), qPrintable(id + QStringLiteral(": ") + command));
            QStringList named = options.keyColumns + options.cumulativeColumns;
            for (const QString& name : {options.blockedByColumn, options.waitColumn}) {
                if (!name.isEmpty())
                    named << name;
            }
            // A rule's condition reads and names columns of the result.
            for (const RowRule& rule : options.rules) {
                for (const QList<FilterCondition>& group : ParseFilterExpression(rule.expression).groups) {
                    for (const FilterCondition& condition : group)
                        named << condition.field;
                }
            }
            for (const QString& name : named)
                QVERIFY2(columns.contains(name.toLower()), qPrintable(id + QStringLiteral(": ") + name));
            // The stand-in sends sp_Who2's columns as text.
            if (postgresql) {
                for (const QString& name : options.cumulativeColumns)
                    QVERIFY2(FieldKindOf(columns.value(name.toLower())).number, qPrintable(id + QStringLiteral(": ") + name));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSampleOptions)
#include "tst_sample_options.moc"
