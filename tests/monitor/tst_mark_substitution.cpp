#include "monitor/MarkSubstitution.h"

#include <QTest>

// Putting a row value into a command's script: every mark replaced, and a value that could leave
// the place of its mark refused.
class TestMarkSubstitution : public QObject {
    Q_OBJECT

    // The script after substitution, or "<refused>".
    static QString substituted(const QString& script, const QString& value, const QString& mark = QStringLiteral("%spid%"))
    {
        QStringList lines = script.split(QLatin1Char('\n'));
        const QStringList before = lines;
        if (!SubstituteMark(lines, mark, value)) {
            if (lines != before)
                return QStringLiteral("<refused, but lines changed>");
            return QStringLiteral("<refused>");
        }
        return lines.join(QLatin1Char('\n'));
    }

private Q_SLOTS:
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
    }
    void marksReplaced()
    {
        QFETCH(QString, script);
        QFETCH(QString, mark);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(substituted(script, value, mark), expected);
    }

    void valueKeptInItsPlace_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const QString payload = QStringLiteral("x'; drop table t; --");
        QTest::newRow("quoted literal") << "where program_name = '%spid%'" << payload
                                        << "where program_name = 'x''; drop table t; --'";
        QTest::newRow("N literal") << "where host = N'%spid%'" << "a'b" << "where host = N'a''b'";
        QTest::newRow("inside a longer literal") << "like 'pre %spid% post'" << "it's" << "like 'pre it''s post'";
        QTest::newRow("literal across lines") << "select 'first\n%spid%'" << "a'b" << "select 'first\na''b'";
        QTest::newRow("after an escaped quote") << "select 'it''s %spid%'" << "a'b" << "select 'it''s a''b'";
        QTest::newRow("escape string") << "select E'%spid%'" << "\\'; drop table t; --"
                                       << "select E'\\\\''; drop table t; --'";
        QTest::newRow("bracketed name") << "select 1 as [%spid%]" << "x]; drop table t; --"
                                        << "select 1 as [x]]; drop table t; --]";
        QTest::newRow("brackets inside a literal") << "select '[%spid%]'" << "a]b'c" << "select '[a]b''c]'";
        QTest::newRow("quote inside brackets") << "select [it's], %spid%" << "5" << "select [it's], 5";
        QTest::newRow("quote inside a comment") << "-- don't\nselect '%spid%'" << "a'b" << "-- don't\nselect 'a''b'";
        QTest::newRow("quote inside a block comment") << "/* don't */ select '%spid%'" << "a'b"
                                                      << "/* don't */ select 'a''b'";
        QTest::newRow("quote inside double quotes") << "select \"it's\", '%spid%'" << "a'b"
                                                    << "select \"it's\", 'a''b'";
    }
    void valueKeptInItsPlace()
    {
        QFETCH(QString, script);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(substituted(script, value), expected);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("value");
        QTest::newRow("statement after a bare mark") << "kill %spid%" << "1; drop table t";
        QTest::newRow("blank inside") << "kill %spid%" << "1 2";
        QTest::newRow("quote") << "kill %spid%" << "1'";
        QTest::newRow("semicolon") << "kill %spid%" << "1;";
        QTest::newRow("comment") << "kill %spid%" << "1--";
        QTest::newRow("line break") << "kill %spid%" << "1\ndrop table t";
        QTest::newRow("parenthesis") << "select pg_cancel_backend(%spid%)" << "1) or (1=1";
        QTest::newRow("decimal comma") << "kill %spid%" << "1,5";
        QTest::newRow("comment with the text before") << "select 1 -%spid%" << "-1";
        QTest::newRow("comment with the text after") << "select %spid%- 1" << "1-";
        QTest::newRow("dollar quote") << "select %spid%" << "$a$";
        QTest::newRow("dollar quote with the text before") << "select $%spid%" << "$";
        QTest::newRow("line comment") << "-- %spid%" << "x\n; drop table t";
        QTest::newRow("block comment") << "/* %spid% */" << "*/ drop table t; /*";
        QTest::newRow("nested block comment") << "/* /* */ ' */ %spid% -- '" << "1; drop table t";
        QTest::newRow("double quotes") << "select \"%spid%\"" << "a\"; drop table t; --";
        QTest::newRow("dollar-quoted text") << "select $$ %spid% $$" << "$$; drop table t; --";
        QTest::newRow("dollar sign in dollar-quoted text") << "select $q$ %spid% $q$" << "$q$";
        QTest::newRow("escape string after a backslash") << "select E'\\%spid%'" << "'; drop table t; --";
        QTest::newRow("one bad mark of several") << "select '%spid%'\nkill %spid%" << "x y";
    }
    void refused()
    {
        QFETCH(QString, script);
        QFETCH(QString, value);
        QCOMPARE(substituted(script, value), QStringLiteral("<refused>"));
    }
};

QTEST_GUILESS_MAIN(TestMarkSubstitution)
#include "tst_mark_substitution.moc"
