#include "DatabaseTest.h"
#include "ReadingPaths.h"
#include "TestDatabase.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/Query.h"
#include "monitor/MarkSubstitution.h"

#include <QRandomGenerator>

// The substitution against PostgreSQL's own reading of the script: values pieced together from
// quotes, escapes, dollar tags, comment marks and a canary call, put into each kind of place,
// with standard strings and without. What the substitution takes must run nothing, and a value in
// a string or a name must arrive as it was.
class TestSubstitutionOnServer : public DatabaseTest {
    Q_OBJECT

    const bool odbcOnly_;
    Connection connection_;

    enum class Arrives { AsValue, AfterA, AsName, AsOne, Unchecked };
    struct Place {
        const char* script;
        Arrives arrives;
    };

    static QStringList values()
    {
        const QStringList pieces = {
            "'", "''", "\"", "\\", "\\\\", "$", "$a$", "$q$", "--", "/*", "*/", "[", "]", ";", "(", ")", " ", "\n",
            "lexer_canary()", "; select lexer_canary(); --", "E", "U&", "!", "0041", "x", "1", "a", "?", "{fn lexer_canary()}",
        };
        QStringList result = {
            QStringLiteral("lexer_canary()"),
            QStringLiteral("\\'); select lexer_canary(); --"),
            QStringLiteral("\\'; select lexer_canary(); --"),
            QStringLiteral("x'; select lexer_canary(); --"),
        };
        QRandomGenerator random(21);
        while (result.size() < 150) {
            QString value;
            for (int n = random.bounded(1, 5); n > 0; --n)
                value += pieces[random.bounded(int(pieces.size()))];
            result << value;
        }
        return result;
    }

    struct Outcome {
        int ran = 0;
        QStringList wrong;   // what arrived otherwise than put
    };

    Outcome runEverywhere(const SqlSyntax& syntax)
    {
        const QList<Place> places = {
            {"select ('%v%') as x", Arrives::AsValue},
            {"select (E'%v%') as x", Arrives::AsValue},
            {"select (E'a'\n'%v%') as x", Arrives::AfterA},
            {"select (U&'%v%') as x", Arrives::AsValue},
            {"select (U&'%v%' UESCAPE '!') as x", Arrives::AsValue},
            {"select 1 as \"%v%\"", Arrives::AsName},
            {"select 1 as U&\"%v%\"", Arrives::AsName},
            {"select $q$%v%$q$ as x", Arrives::AsValue},
            {"select 1 as x -- %v%\n", Arrives::AsOne},
            {"/* %v% */ select 1 as x", Arrives::AsOne},
            {"select ((array['a','b','c'])[%v%]) as x", Arrives::Unchecked},
            {"select B'%v%' as x", Arrives::Unchecked},
            {"select %v% as x", Arrives::Unchecked},
            {"select length($a$ x $a%v% $a$) as x", Arrives::Unchecked},
        };
        Outcome outcome;
        Query query;
        query.setConnection(&connection_);
        for (const Place& place : places) {
            for (const QString& value : values()) {
                QStringList lines = QString::fromUtf8(place.script).split(u'\n');
                if (!SubstituteMark(lines, QStringLiteral("%v%"), value, syntax))
                    continue;
                query.setSql(lines);
                try {
                    query.open();
                } catch (const QuillonError&) {
                    continue;   // an error runs nothing either
                }
                ++outcome.ran;
                QString expected;
                QString arrived = query.fieldText(0);
                switch (place.arrives) {
                case Arrives::AsValue:
                    expected = value;
                    break;
                case Arrives::AfterA:
                    expected = QStringLiteral("a") + value;
                    break;
                case Arrives::AsName:
                    // Longer names are cut to 63 bytes.
                    arrived = query.fieldName(0);
                    expected = value.toUtf8().size() < 64 ? value : arrived;
                    break;
                case Arrives::AsOne:
                    expected = QStringLiteral("1");
                    break;
                case Arrives::Unchecked:
                    expected = arrived;
                    break;
                }
                if (arrived != expected)
                    outcome.wrong << QStringLiteral("%1 gave [%2]").arg(lines.join(u'\n'), arrived);
            }
        }
        return outcome;
    }

public:
    explicit TestSubstitutionOnServer(bool odbcOnly) : odbcOnly_(odbcOnly) {}

protected:
    void prepareDatabase() override
    {
        QString error;
        QVERIFY2(TestDatabase::createCanary(QStringLiteral("lexer_canary"), &error), qPrintable(error));
        connection_.setConnectionString(TestDatabase::pgConnectionString());
        connection_.setOdbcOnly(odbcOnly_);
        connection_.open();
        QCOMPARE(connection_.readsNatively(), !odbcOnly_);
        // The canary sings when called.
        Query call;
        call.setConnection(&connection_);
        call.setSql({QStringLiteral("select lexer_canary()")});
        call.open();
        QCOMPARE(TestDatabase::canaryCalls(QStringLiteral("lexer_canary")), 1);
        QVERIFY(TestDatabase::psql(QStringLiteral("truncate lexer_canary_calls")));
    }

private Q_SLOTS:
    void valuesRunNothing_data()
    {
        QTest::addColumn<bool>("standardStrings");
        QTest::newRow("standard strings") << true;
        QTest::newRow("strings not standard") << false;
    }
    void valuesRunNothing()
    {
        QFETCH(bool, standardStrings);
        Query set;
        set.setConnection(&connection_);
        set.setSql({QStringLiteral("set standard_conforming_strings = %1").arg(standardStrings ? "on" : "off")});
        QVERIFY_THROWS_EXCEPTION(DataError, set.open());
        const SqlSyntax syntax = connection_.syntax();
        QCOMPARE(syntax.standardStrings, std::optional<bool>(standardStrings));

        const Outcome outcome = runEverywhere(syntax);
        QCOMPARE(TestDatabase::canaryCalls(QStringLiteral("lexer_canary")), 0);
        QVERIFY2(outcome.wrong.isEmpty(), qPrintable(outcome.wrong.join(u'\n')));
        qInfo("%d substitutions ran", outcome.ran);
        QVERIFY(outcome.ran > 400);
    }
};

int main(int argc, char** argv)
{
    return RunOnBothReadingPaths<TestSubstitutionOnServer>(argc, argv);
}
#include "tst_substitution_on_server.moc"
