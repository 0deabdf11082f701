#include "DatabaseTest.h"
#include "TestDatabase.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/Query.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QTest>
#include <thread>

// Every SQL Server type as the SQL Server stand-in (a test fixture) sends it and FreeTDS hands it
// over: the field's kind, each cell's text in a Russian locale, NULLs, the sort and the filter of
// each kind on the rows held; and what a server may do besides: unknown types, errors, a cancel,
// a reply cut off in the middle of a row.
class TestMssqlTypes : public DatabaseTest {
    Q_OBJECT

public:
    TestMssqlTypes() : DatabaseTest(Needs::SqlServerStandIn) {}

private:
    // One column: the SQL Server type the stand-in sends it as, the values of rows 1 and 2 as
    // PostgreSQL text, the kind the program makes of it and the texts it shows.
    struct Column {
        QString name;
        QString type;
        QString first;
        QString second;
        FieldType kind;
        QString firstText;
        QString secondText;
        bool secondSortsFirst;
    };

    const QString longText_ = QString(9000, u'Ж') + QStringLiteral("end");
    const QString longBytes_ = QStringLiteral("ab").repeated(6000);

    QList<Column> columns() const
    {
        return {
            {"ti", "tinyint", "7", "200", FieldType::SmallInt, "7", "200", false},
            {"si", "smallint", "-7", "300", FieldType::SmallInt, "-7", "300", false},
            {"i", "int", "52", "7", FieldType::Integer, "52", "7", true},
            {"bi", "bigint", "9007199254740993", "-1", FieldType::BigInt, "9007199254740993", "-1", true},
            {"b", "bit", "1", "0", FieldType::Boolean, "True", "False", true},
            {"d", "decimal(12,3)", "-1234.5", "10.25", FieldType::Decimal, "-1234,500", "10,250", false},
            {"f", "float", "2.5", "-0.125", FieldType::Float, "2,5", "-0,125", true},
            {"r", "real", "0.25", "1.5", FieldType::Float, "0,25", "1,5", false},
            {"m", "money", "12.5", "-1234.5678", FieldType::Currency, "12,5", "-1234,5678", true},
            {"sm", "smallmoney", "1.25", "3", FieldType::Currency, "1,25", "3", false},
            {"c", "char(5)", "Яб", "Аб", FieldType::Char, "Яб   ", "Аб   ", true},
            {"vc", "varchar(20)", "varchar Ж", "abc", FieldType::VarChar, "varchar Ж", "abc", true},
            {"vcm", "varchar(max)", "длинный текст", "альфа", FieldType::VarChar, "длинный текст", "альфа", true},
            {"nc", "nchar(5)", "Пр", "Ар", FieldType::WChar, "Пр   ", "Ар   ", true},
            {"nv", "nvarchar(30)", "Привет", "Ёлка", FieldType::VarWChar, "Привет", "Ёлка", true},
            {"nvm", "nvarchar(max)", longText_, "Ааа", FieldType::VarWChar, longText_, "Ааа", true},
            {"dt", "datetime", "2004-10-21 14:05:09.003", "2004-10-21 14:05:09.007", FieldType::DateTime,
             "21.10.2004 14:05:09.003", "21.10.2004 14:05:09.007", false},
            {"sdt", "smalldatetime", "2004-10-21 14:05", "1999-01-01 00:00", FieldType::DateTime, "21.10.2004 14:05:00",
             "01.01.1999", true},
            {"dt2", "datetime2(7)", "2004-10-21 14:05:09.1234567", "2004-10-21 14:05:09.1234568", FieldType::DateTime,
             "21.10.2004 14:05:09.1234567", "21.10.2004 14:05:09.1234568", false},
            {"da", "date", "2004-10-21", "1900-01-01", FieldType::Date, "21.10.2004", "01.01.1900", true},
            {"tm", "time(7)", "14:05:09.1234567", "14:05:09.1234566", FieldType::Time, "14:05:09.1234567",
             "14:05:09.1234566", true},
            // The first is later on the clock and earlier in time.
            {"dto", "datetimeoffset(7)", "2024-02-29 10:14:15.5 +03:00", "2024-02-29 08:14:15 +00:00",
             FieldType::DateTimeOffset, "29.02.2024 10:14:15.5 +03:00", "29.02.2024 08:14:15 +00:00", false},
            {"u", "uniqueidentifier", "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11", "00000000-0000-0000-0000-000000000001",
             FieldType::Guid, "{A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11}", "{00000000-0000-0000-0000-000000000001}", true},
            {"vb", "varbinary(10)", "\\x00ff10", "\\x01", FieldType::Binary, "0x00FF10", "0x01", false},
            {"bn", "binary(4)", "\\x0102", "\\xff", FieldType::Binary, "0x01020000", "0xFF000000", false},
            {"vbm", "varbinary(max)", "\\x" + longBytes_, "\\x", FieldType::Binary, "0x" + longBytes_.toUpper(), "0x", true},
            {"x", "xml", "<b>2</b>", "<a>1</a>", FieldType::LongVarWChar, "<b>2</b>", "<a>1</a>", true},
            // A type the program does not know: the driver's text, sorted as text.
            {"sv", "sql_variant(int)", "42", "-3", FieldType::VarWChar, "42", "-3", true},
            {"svn", "sql_variant(nvarchar(10))", "текст", "ещё", FieldType::VarWChar, "текст", "ещё", true},
        };
    }

    static QString literal(const QString& text) { return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\''; }

    // Rows 1 and 2 of the values and a row 3 of NULLs, each column under the alias that makes the
    // stand-in send it as its type.
    QString everyType() const
    {
        QStringList first{QStringLiteral("1")}, second{QStringLiteral("2")}, nulls{QStringLiteral("3")}, names{QStringLiteral("id")};
        for (const Column& c : columns()) {
            first << literal(c.first);
            second << literal(c.second);
            nulls << QStringLiteral("null");
            names << u'"' + c.name + u':' + c.type + u'"';
        }
        return QStringLiteral("select * from (values (%1), (%2), (%3)) t(%4) order by id")
            .arg(first.join(u','), second.join(u','), nulls.join(u','), names.join(u','));
    }

    Connection connection_;
    Query query_;

    QStringList ids()
    {
        QStringList values;
        for (int row = 0; row < query_.viewRowCount(); ++row)
            values << query_.displayText(row, 0);
        return values;
    }

    QStringList filtered(const QString& expression)
    {
        query_.setFilter(expression);
        query_.setFiltered(true);
        const QStringList passing = ids();
        query_.setFiltered(false);
        return passing;
    }

protected:
    void prepareDatabase() override
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        connection_.setConnectionString(TestDatabase::mssqlConnectionString());
        connection_.open();
        QVERIFY(!connection_.readsNatively());
        query_.setConnection(&connection_);
        query_.setSql({everyType()});
        query_.open();
    }

private Q_SLOTS:
    void cleanupTestCase() { QLocale::setDefault(QLocale::c()); }

    void kindsTextsAndNulls()
    {
        const QList<Column> expected = columns();
        QCOMPARE(query_.fieldCount(), expected.size() + 1);
        QCOMPARE(query_.recordCount(), 3);
        for (int i = 0; i < expected.size(); ++i) {
            const Column& c = expected[i];
            const int field = i + 1;
            QCOMPARE(query_.fieldName(field), c.name);
            QVERIFY2(query_.fieldType(field) == c.kind, qPrintable(c.name));
            QCOMPARE(query_.displayText(0, field), c.firstText);
            QCOMPARE(query_.displayText(1, field), c.secondText);
            QVERIFY2(query_.isNull(2, field), qPrintable(c.name));
            QCOMPARE(query_.displayText(2, field), QString());
        }
        query_.setRecNo(1);
        QCOMPARE(query_.fieldValue(query_.fieldIndex(QStringLiteral("dto"))).toDateTime(),
                 QDateTime(QDate(2024, 2, 29), QTime(7, 14, 15, 500), Qt::UTC));
        QCOMPARE(query_.fieldValue(query_.fieldIndex(QStringLiteral("dto"))).toDateTime().offsetFromUtc(), 3 * 3600);
        QCOMPARE(query_.fieldValue(query_.fieldIndex(QStringLiteral("vbm"))).toByteArray(),
                 QByteArray::fromHex(longBytes_.toLatin1()));
    }

    // Ascending: the NULL row first, then the two values in their order, fractions and instants included.
    void everyKindSorts()
    {
        const QList<Column> expected = columns();
        for (const Column& c : expected) {
            query_.setSort(u'[' + c.name + u']');
            QCOMPARE(ids(), c.secondSortsFirst ? QStringList({"3", "2", "1"}) : QStringList({"3", "1", "2"}));
            query_.setSort(u'[' + c.name + QStringLiteral("] DESC"));
            QCOMPARE(ids(), c.secondSortsFirst ? QStringList({"1", "2", "3"}) : QStringList({"2", "1", "3"}));
        }
        query_.setSort(QString());
    }

    void everyKindFilters_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QStringList>("passing");
        QTest::newRow("tinyint") << "[ti] > 100" << QStringList{"2"};
        QTest::newRow("bigint") << "[bi] > 9007199254740992" << QStringList{"1"};
        QTest::newRow("bit") << "[b] = True" << QStringList{"1"};
        QTest::newRow("decimal") << "[d] < 0" << QStringList{"1"};
        QTest::newRow("float") << "[f] = 2,5" << QStringList{"1"};
        QTest::newRow("money") << "[m] < 0" << QStringList{"2"};
        QTest::newRow("char, padded") << "[c] = 'Яб'" << QStringList{"1"};
        QTest::newRow("varchar, any case") << "[vc] = 'ABC'" << QStringList{"2"};
        QTest::newRow("nvarchar") << "[nv] > 'Н'" << QStringList{"1"};
        QTest::newRow("datetime's fraction") << "[dt] = '21.10.2004 14:05:09.007'" << QStringList{"2"};
        QTest::newRow("smalldatetime") << "[sdt] < '01.01.2000'" << QStringList{"2"};
        QTest::newRow("datetime2's seventh digit") << "[dt2] > '21.10.2004 14:05:09.1234567'" << QStringList{"2"};
        QTest::newRow("date") << "[da] = '21.10.2004'" << QStringList{"1"};
        QTest::newRow("time's seventh digit") << "[tm] < '14:05:09.1234567'" << QStringList{"2"};
        QTest::newRow("offset, as shown") << "[dto] = '29.02.2024 10:14:15.5 +03:00'" << QStringList{"1"};
        QTest::newRow("offset, instants") << "[dto] < '29.02.2024 08:00:00 +00:00'" << QStringList{"1"};
        QTest::newRow("offset, none is UTC") << "[dto] >= '29.02.2024 08:14:15'" << QStringList{"2"};
        QTest::newRow("guid, as shown") << "[u] = '{00000000-0000-0000-0000-000000000001}'" << QStringList{"2"};
        QTest::newRow("guid, bare") << "[u] = 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'" << QStringList{"1"};
        QTest::newRow("varbinary") << "[vb] = '0x01'" << QStringList{"2"};
        QTest::newRow("sql_variant") << "[sv] = '42'" << QStringList{"1"};
    }
    void everyKindFilters()
    {
        QFETCH(QString, expression);
        QFETCH(QStringList, passing);
        QCOMPARE(filtered(expression), passing);
    }

    // An error is the statement's, not the session's; a cancel stops a waitfor at once.
    void errorsAndCancelKeepTheSession()
    {
        Query query;
        query.setConnection(&connection_);
        query.setSql({QStringLiteral("select * from no_such_table")});
        try {
            query.open();
            QFAIL("the table does not exist");
        } catch (const DatabaseError& e) {
            QCOMPARE(e.nativeError(), 208);
            QVERIFY2(e.message().contains(QStringLiteral("no_such_table")), qPrintable(e.message()));
        }
        query.setSql({QStringLiteral("waitfor delay '00:00:30'\nselect 1 as a")});
        QElapsedTimer timer;
        timer.start();
        std::thread canceller([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            connection_.cancel();
        });
        QVERIFY_THROWS_EXCEPTION(DatabaseError, query.open());
        canceller.join();
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(connection_.connected());
        query.setSql({QStringLiteral("waitfor delay '00:00:00.2'\nselect 2 as a")});
        query.open();
        QCOMPARE(query.fieldText(0), QStringLiteral("2"));
    }

    // A reply that stops in the middle of a row is a server error, and the session is gone.
    void replyCutInARow()
    {
        Connection connection;
        connection.setConnectionString(TestDatabase::mssqlConnectionString());
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("-- tds-standin: cut mid-row\nselect 'a' as x union all select 'b'")});
        QVERIFY_THROWS_EXCEPTION(DatabaseError, query.open());
        QVERIFY(!query.active());
        connection.checkAlive();
        QVERIFY(!connection.connected());
    }

    void logins_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<int>("refusal");
        QTest::newRow("data source, braced password") << TestDatabase::mssqlDsn() << TestDatabase::user()
                                                      << TestDatabase::password() << 0;
        QTest::newRow("host and port") << TestDatabase::mssqlServer() << TestDatabase::user() << TestDatabase::password() << 0;
        QTest::newRow("Cyrillic login") << TestDatabase::mssqlServer() << TestDatabase::cyrillicUser()
                                        << TestDatabase::cyrillicPassword() << 0;
        QTest::newRow("wrong password") << TestDatabase::mssqlDsn() << TestDatabase::user() << QStringLiteral("wrong") << 18456;
        QTest::newRow("unknown login") << TestDatabase::mssqlDsn() << QStringLiteral("nobody") << QStringLiteral("x") << 18456;
    }
    void logins()
    {
        QFETCH(QString, server);
        QFETCH(QString, login);
        QFETCH(QString, secret);
        QFETCH(int, refusal);
        Connection connection;
        connection.setConnectionString(TestDatabase::loginConnectionString(server, login, secret));
        try {
            connection.open();
            QCOMPARE(refusal, 0);
        } catch (const DatabaseError& e) {
            QCOMPARE(e.nativeError(), refusal);
            return;
        }
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("select current_user as who")});
        query.open();
        QCOMPARE(query.fieldText(0), login);
    }
};

QTEST_GUILESS_MAIN(TestMssqlTypes)
#include "tst_mssql_types.moc"
