#include "monitor/MarkSubstitution.h"

#include <QTest>

// Putting a row value into a command's script: every mark replaced, and a value that could leave
// the place of its mark, as the server at hand reads the script, refused.
class TestMarkSubstitution : public QObject {
    Q_OBJECT

    // "sqlserver"; "pg" with standard strings, "pg-off" without, "pg-unknown"; "other".
    static SqlSyntax syntaxOf(const QString& name)
    {
        if (name == QStringLiteral("sqlserver"))
            return {SqlDialect::SqlServer, std::nullopt};
        if (name == QStringLiteral("pg"))
            return {SqlDialect::PostgreSql, true};
        if (name == QStringLiteral("pg-off"))
            return {SqlDialect::PostgreSql, false};
        if (name == QStringLiteral("pg-unknown"))
            return {SqlDialect::PostgreSql, std::nullopt};
        return {SqlDialect::Other, std::nullopt};
    }

    // The script after substitution, or "<refused>".
    static QString substituted(const QString& script, const QString& value, const QString& dialect,
                               const QString& mark = QStringLiteral("%spid%"))
    {
        QStringList lines = script.split(QLatin1Char('\n'));
        const QStringList before = lines;
        if (!SubstituteMark(lines, mark, value, syntaxOf(dialect))) {
            if (lines != before)
                return QStringLiteral("<refused, but lines changed>");
            return QStringLiteral("<refused>");
        }
        return lines.join(QLatin1Char('\n'));
    }

    static void addColumns()
    {
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
    }

    static void compare()
    {
        QFETCH(QString, dialect);
        QFETCH(QString, script);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(substituted(script, value, dialect), expected);
    }

private Q_SLOTS:
    // The same on SQL Server and PostgreSQL.
    void marksReplaced_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bare") << "kill %spid%" << "%spid%" << "52" << "kill 52";
        QTest::newRow("mark of other case") << "kill %spid%" << "%SPID%" << "52" << "kill 52";
        QTest::newRow("twice in a line") << "select %spid%, %SpId%" << "%spid%" << "7" << "select 7, 7";
        QTest::newRow("several lines") << "kill %spid%\n-- %spid%\nselect 1" << "%spid%" << "7"
                                       << "kill 7\n-- 7\nselect 1";
        QTest::newRow("bare percent stays") << "select 5 % 2, '%' || %spid%" << "%spid%" << "3"
                                            << "select 5 % 2, '%' || 3";
        QTest::newRow("Cyrillic exact case") << "select %поле%, %ПОЛЕ%" << "%поле%" << "1" << "select 1, %ПОЛЕ%";
        QTest::newRow("empty value") << "kill %spid%" << "%spid%" << "" << "kill ";
        QTest::newRow("value holding the mark") << "select '%spid%', '%spid%'" << "%spid%" << "%spid%"
                                                << "select '%spid%', '%spid%'";
        QTest::newRow("padded fixed-width value") << "kill %spid%" << "%spid%" << "52   " << "kill 52   ";
        QTest::newRow("plain words") << "exec p %spid%" << "%spid%" << "sa.x-1:@#$_Имя" << "exec p sa.x-1:@#$_Имя";
        QTest::newRow("negative number") << "select %spid%" << "%spid%" << "-5" << "select -5";
        QTest::newRow("empty lines kept") << "\nselect %spid%\n" << "%spid%" << "1" << "\nselect 1\n";
    }
    void marksReplaced()
    {
        QFETCH(QString, script);
        QFETCH(QString, mark);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        for (const QString& dialect : {QStringLiteral("sqlserver"), QStringLiteral("pg")})
            QCOMPARE(substituted(script, value, dialect, mark), expected);
    }

    void valueKeptInItsPlace_data()
    {
        addColumns();
        const QString payload = QStringLiteral("x'; drop table t; --");
        QTest::newRow("quoted literal") << "sqlserver" << "where program_name = '%spid%'" << payload
                                        << "where program_name = 'x''; drop table t; --'";
        QTest::newRow("N literal") << "sqlserver" << "where host = N'%spid%'" << "a'b" << "where host = N'a''b'";
        QTest::newRow("inside a longer literal") << "pg" << "like 'pre %spid% post'" << "it's" << "like 'pre it''s post'";
        QTest::newRow("literal across lines") << "pg" << "select 'first\n%spid%'" << "a'b" << "select 'first\na''b'";
        QTest::newRow("after an escaped quote") << "sqlserver" << "select 'it''s %spid%'" << "a'b" << "select 'it''s a''b'";
        QTest::newRow("quote inside a comment") << "pg" << "-- don't\nselect '%spid%'" << "a'b" << "-- don't\nselect 'a''b'";
        QTest::newRow("quote inside a block comment") << "sqlserver" << "/* don't */ select '%spid%'" << "a'b"
                                                      << "/* don't */ select 'a''b'";
        QTest::newRow("quote inside double quotes") << "pg" << "select \"it's\", '%spid%'" << "a'b"
                                                    << "select \"it's\", 'a''b'";

        // Brackets quote a name on SQL Server alone.
        QTest::newRow("bracketed name") << "sqlserver" << "select 1 as [%spid%]" << "x]; drop table t; --"
                                        << "select 1 as [x]]; drop table t; --]";
        QTest::newRow("brackets inside a literal") << "sqlserver" << "select '[%spid%]'" << "a]b'c" << "select '[a]b''c]'";
        QTest::newRow("quote inside brackets") << "sqlserver" << "select [it's], %spid%" << "5" << "select [it's], 5";
        QTest::newRow("array subscript") << "pg" << "select (array['a','b','c'])[%spid%]" << "2"
                                         << "select (array['a','b','c'])[2]";
        QTest::newRow("brackets of another server") << "other" << "select [%spid%]" << "x" << "select [x]";
        QTest::newRow("double-quoted name") << "pg" << "select 1 as \"%spid%\"" << "a\"; drop table t; --"
                                            << "select 1 as \"a\"\"; drop table t; --\"";
        QTest::newRow("double quotes on SQL Server") << "sqlserver" << "select \"%spid%\"" << "a\"b" << "select \"a\"\"b\"";
        QTest::newRow("double quotes elsewhere") << "other" << "select \"%spid%\"" << "a\"b" << "select \"a\"\"b\"";

        // Backslashes escape in PostgreSQL's E'...' always, in its '...' while strings are not standard.
        const QString backslashed = QStringLiteral("\\'); select canary(); --");
        QTest::newRow("standard string") << "pg" << "select ('%spid%')" << backslashed
                                         << "select ('\\''); select canary(); --')";
        QTest::newRow("string not standard") << "pg-off" << "select ('%spid%')" << backslashed
                                             << "select ('\\\\''); select canary(); --')";
        QTest::newRow("escape string") << "pg" << "select E'%spid%'" << "\\'; drop table t; --"
                                       << "select E'\\\\''; drop table t; --'";
        QTest::newRow("escape string on SQL Server") << "sqlserver" << "select E'%spid%'" << "\\'" << "select E'\\'''";
        QTest::newRow("escape string carried on") << "pg" << "select E'a'\n'%spid%'" << "\\'"
                                                  << "select E'a'\n'\\\\'''";
        QTest::newRow("carried on past a comment") << "pg" << "select E'a' -- more:\n  \n '%spid%'" << "\\"
                                                   << "select E'a' -- more:\n  \n '\\\\'";
        QTest::newRow("escaped quote when not standard") << "pg-off" << "select 'it\\'s', '%spid%'" << "a'b"
                                                         << "select 'it\\'s', 'a''b'";
        QTest::newRow("complete escape before the mark") << "pg" << "select E'\\n%spid%'" << "x" << "select E'\\nx'";
        QTest::newRow("unknown strings, no backslash") << "pg-unknown" << "select '%spid%'" << "a'b" << "select 'a''b'";
        QTest::newRow("after a backslash of unknown kind") << "pg-unknown" << "select 'a\\', '%spid%'" << "x"
                                                          << "select 'a\\', 'x'";
        QTest::newRow("another server's string") << "other" << "select '%spid%'" << "a'b" << "select 'a''b'";

        QTest::newRow("Unicode string") << "pg" << "select U&'%spid%'" << "a'b" << "select U&'a''b'";
        QTest::newRow("Unicode string, own escape") << "pg" << "select U&'%spid%' UESCAPE '!'" << "a\\b"
                                                    << "select U&'a\\b' UESCAPE '!'";
        QTest::newRow("Unicode name") << "pg" << "select 1 as U&\"%spid%\"" << "a\"b" << "select 1 as U&\"a\"\"b\"";
        QTest::newRow("Unicode string with an escape") << "pg" << "select U&'\\0041%spid%'" << "1"
                                                       << "select U&'\\00411'";
        QTest::newRow("dollar-quoted text") << "pg" << "select $q$ %spid% $q$" << "x" << "select $q$ x $q$";
        QTest::newRow("dollars on SQL Server") << "sqlserver" << "select %spid%" << "$a$" << "select $a$";
    }
    void valueKeptInItsPlace() { compare(); }

    void refused_data()
    {
        addColumns();
        const QString refused = QStringLiteral("<refused>");
        QTest::newRow("statement after a bare mark") << "pg" << "kill %spid%" << "1; drop table t" << refused;
        QTest::newRow("blank inside") << "sqlserver" << "kill %spid%" << "1 2" << refused;
        QTest::newRow("quote") << "sqlserver" << "kill %spid%" << "1'" << refused;
        QTest::newRow("semicolon") << "pg" << "kill %spid%" << "1;" << refused;
        QTest::newRow("comment") << "sqlserver" << "kill %spid%" << "1--" << refused;
        QTest::newRow("line break") << "pg" << "kill %spid%" << "1\ndrop table t" << refused;
        QTest::newRow("parenthesis") << "pg" << "select pg_cancel_backend(%spid%)" << "1) or (1=1" << refused;
        QTest::newRow("decimal comma") << "sqlserver" << "kill %spid%" << "1,5" << refused;
        QTest::newRow("comment with the text before") << "pg" << "select 1 -%spid%" << "-1" << refused;
        QTest::newRow("comment with the text after") << "sqlserver" << "select %spid%- 1" << "1-" << refused;
        QTest::newRow("line comment") << "pg" << "-- %spid%" << "x\n; drop table t" << refused;
        QTest::newRow("block comment") << "sqlserver" << "/* %spid% */" << "*/ drop table t; /*" << refused;
        QTest::newRow("nested block comment") << "pg" << "/* /* */ ' */ %spid% -- '" << "1; drop table t" << refused;
        QTest::newRow("one bad mark of several") << "pg" << "select '%spid%'\nkill %spid%" << "x y" << refused;
        QTest::newRow("prefix of the string after") << "pg" << "select %spid%'\\'" << "E" << refused;

        // Brackets are code on PostgreSQL: the array subscript calls what it holds.
        QTest::newRow("array subscript") << "pg" << "select (array['a','b','c'])[%spid%]" << "canary()" << refused;
        QTest::newRow("closing bracket on PostgreSQL") << "pg" << "select a[%spid%]" << "1]; select canary(); --" << refused;
        QTest::newRow("brackets of another server") << "other" << "select [%spid%]" << "canary()" << refused;
        QTest::newRow("quote inside brackets on PostgreSQL") << "pg" << "select [it's], '%spid%'" << "a'b" << refused;

        // Backslashes where strings may take them.
        QTest::newRow("backslash, strings unknown") << "pg-unknown" << "select ('%spid%')" << "\\'); select canary(); --"
                                                    << refused;
        QTest::newRow("backslash on another server") << "other" << "select '%spid%'" << "a\\b" << refused;
        QTest::newRow("backslash in another server's double quotes") << "other" << "select \"%spid%\"" << "a\\b" << refused;
        QTest::newRow("script sets the strings") << "pg" << "set standard_conforming_strings = off;\nselect ('%spid%')"
                                                 << "\\'); select canary(); --" << refused;
        QTest::newRow("after a backslash of unknown kind") << "pg-unknown" << "select 'a\\', '%spid%'" << "a'b" << refused;
        QTest::newRow("after brackets of another server") << "other" << "select [it's], '%spid%'" << "a'b" << refused;
        QTest::newRow("hash on another server") << "other" << "select %spid%" << "1#" << refused;
        QTest::newRow("escape string after a backslash") << "pg" << "select E'\\%spid%'" << "'; drop table t; --" << refused;
        QTest::newRow("escape sequence open") << "pg" << "select E'\\x4%spid%'" << "1" << refused;
        QTest::newRow("not standard, after a backslash") << "pg-off" << "select '\\%spid%'" << "x" << refused;
        QTest::newRow("standard string that is not") << "pg" << "select 'it\\'s', '%spid%'" << "a'b" << refused;

        // U&'...' takes no value that could change it.
        QTest::newRow("Unicode string, backslash") << "pg" << "select U&'%spid%'" << "\\0041" << refused;
        QTest::newRow("Unicode string, own escape in the value") << "pg" << "select U&'%spid%' uescape '!'" << "!0041"
                                                                 << refused;
        QTest::newRow("Unicode string carried on") << "pg" << "select U&'x'\n'%spid%' UESCAPE '!'" << "!0041" << refused;
        QTest::newRow("Unicode escape open") << "pg" << "select U&'\\00%spid%'" << "41" << refused;
        QTest::newRow("Unicode escape named by a mark") << "pg" << "select U&'%spid%' %spid% '!'" << "x" << refused;
        QTest::newRow("Unicode name, backslash") << "pg" << "select U&\"%spid%\"" << "\\0041" << refused;

        // Dollar-quoted bodies may be code: a plain word that cannot end them.
        QTest::newRow("dollar quote") << "pg" << "select %spid%" << "$a$" << refused;
        QTest::newRow("dollar quote with the text before") << "pg" << "select $%spid%" << "$" << refused;
        QTest::newRow("dollar-quoted text") << "pg" << "select $$ %spid% $$" << "$$; drop table t; --" << refused;
        QTest::newRow("dollar sign in dollar-quoted text") << "pg" << "select $q$ %spid% $q$" << "$q$" << refused;
        QTest::newRow("tag completed by the value") << "pg" << "select $a$ x$a%spid% $a$" << "$" << refused;
        QTest::newRow("tag completed inside a word") << "pg" << "select $a$ q$%spid%$ $a$" << "a" << refused;
        QTest::newRow("tag begun before the value") << "pg" << "select $ab%spid% x" << "c$" << refused;
        QTest::newRow("bit string") << "pg" << "select B'%spid%'" << "1'||canary()||'" << refused;
    }
    void refused() { compare(); }
};

QTEST_GUILESS_MAIN(TestMarkSubstitution)
#include "tst_mark_substitution.moc"
