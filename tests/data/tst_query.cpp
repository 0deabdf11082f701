#include "DatabaseTest.h"
#include "ReadingPaths.h"
#include "TestDatabase.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/Query.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <thread>

// A result as the operator meets it: each field's name and kind, each cell's text and value, or
// the error.
QStringList Described(Connection& connection, const QString& batch, bool decimalsAsFloat)
{
    Query query;
    query.setConnection(&connection);
    query.setDecimalsAsFloat(decimalsAsFloat);
    query.setSql({batch});
    QStringList lines{batch};
    try {
        query.open();
    } catch (const DatabaseError& e) {
        return lines << QStringLiteral("DatabaseError %1 %2: %3").arg(e.sqlState()).arg(e.nativeError()).arg(e.message());
    } catch (const DataError& e) {
        return lines << QStringLiteral("DataError: ") + e.message();
    }
    for (int i = 0; i < query.fieldCount(); ++i)
        lines << QStringLiteral("%1 kind %2").arg(query.fieldName(i)).arg(int(query.fieldType(i)));
    for (query.first(); !query.eof(); query.next()) {
        for (int i = 0; i < query.fieldCount(); ++i) {
            const QVariant value = query.fieldValue(i);
            lines << QStringLiteral("%1: %2 [%3 %4]")
                         .arg(query.fieldName(i), query.fieldIsNull(i) ? QStringLiteral("<null>") : query.fieldText(i),
                              QString::fromLatin1(value.typeName()), value.toString());
        }
    }
    return lines;
}

// Runs open while another thread cancels the connection after delay; the milliseconds until both
// are done. open catches the error it expects itself.
qint64 OpenedWhileCancelled(Connection& connection, std::chrono::milliseconds delay, const std::function<void()>& open)
{
    std::thread canceller([&connection, delay] {
        std::this_thread::sleep_for(delay);
        connection.cancel();
    });
    QElapsedTimer timer;
    timer.start();
    open();
    canceller.join();
    return timer.elapsed();
}

class TestQuery : public DatabaseTest {
    Q_OBJECT

    const bool odbcOnly_;
    Connection connection_;

    // A connection to the test database on this run's reading path.
    void prepare(Connection& connection)
    {
        connection.setConnectionString(TestDatabase::pgConnectionString());
        connection.setOdbcOnly(odbcOnly_);
    }

    QStringList openAndCollect(Query& query)
    {
        query.open();
        QStringList rows;
        for (query.first(); !query.eof(); query.next()) {
            QStringList cells;
            for (int i = 0; i < query.fieldCount(); ++i)
                cells.append(query.fieldIsNull(i) ? QStringLiteral("<null>") : query.fieldText(i));
            rows.append(cells.join(u'|'));
        }
        return rows;
    }

    Query* newQuery(const QString& sql)
    {
        auto* query = new Query(this);
        query->setConnection(&connection_);
        query->setSql(sql.split(u'\n'));
        return query;
    }

public:
    explicit TestQuery(bool odbcOnly) : odbcOnly_(odbcOnly) {}

protected:
    void prepareDatabase() override
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral(
                     "drop table if exists every_type;"
                     "create table every_type (id int4, s int2, b int8, n numeric(12,3), f8 float8, f4 float4,"
                     " t text, vc varchar(20), ch char(5), ts timestamp, tstz timestamptz, d date, tm time,"
                     " bo bool, u uuid, by bytea, j jsonb, iv interval, ip inet, arr int4[]);"
                     "insert into every_type values (1, -7, 9007199254740993, -1234.5, 2.5, 0.25, 'Привет', 'varchar', 'ab',"
                     " '2004-10-21 14:05:09.123', '2004-10-21 14:05:09+03', '2004-10-21', '14:05:09', true,"
                     " 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', '\\x00ff10', '{\"k\": 1}', '1 day', '10.0.0.1', '{1,2}');"
                     "insert into every_type (id, t, vc) values (2, '', null);"
                     "insert into every_type (id, t, by) values (3, repeat('x', 9000) || 'end', decode(repeat('ab', 3000), 'hex'));"
                     "grant select on every_type to quillon;"),
                 nullptr, &error),
                 qPrintable(error));
        prepare(connection_);
        connection_.open();
        QCOMPARE(connection_.readsNatively(), !odbcOnly_);
    }

private Q_SLOTS:
    void cleanupTestCase()
    {
        QLocale::setDefault(QLocale::c());
    }

    void mapsEveryPostgresType()
    {
        Query query;
        query.setConnection(&connection_);
        query.setSql({QStringLiteral("select * from every_type order by id")});
        query.open();
        const QList<std::pair<QString, FieldType>> expected = {
            {QStringLiteral("id"), FieldType::Integer},     {QStringLiteral("s"), FieldType::SmallInt},
            {QStringLiteral("b"), FieldType::BigInt},       {QStringLiteral("n"), FieldType::Decimal},
            {QStringLiteral("f8"), FieldType::Float},       {QStringLiteral("f4"), FieldType::Float},
            {QStringLiteral("t"), FieldType::LongVarWChar}, {QStringLiteral("vc"), FieldType::VarWChar},
            {QStringLiteral("ch"), FieldType::WChar},       {QStringLiteral("ts"), FieldType::DateTime},
            {QStringLiteral("tstz"), FieldType::DateTime},  {QStringLiteral("d"), FieldType::Date},
            {QStringLiteral("tm"), FieldType::Time},        {QStringLiteral("bo"), FieldType::VarChar},
            {QStringLiteral("u"), FieldType::Guid},         {QStringLiteral("by"), FieldType::Binary},
        };
        QCOMPARE(query.fieldCount(), 20);
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(query.fieldName(i), expected[i].first);
            QVERIFY2(query.fieldType(i) == expected[i].second, qPrintable(query.fieldName(i)));
        }
        for (int i = 16; i < 20; ++i)   // jsonb, interval, inet, arrays: shown as text
            QVERIFY2(IsTextFieldType(query.fieldType(i)), qPrintable(query.fieldName(i)));

        QCOMPARE(query.recordCount(), 3);
        QCOMPARE(query.recNo(), 1);
        QCOMPARE(query.fieldText(0), QStringLiteral("1"));
        QCOMPARE(query.fieldText(1), QStringLiteral("-7"));
        QCOMPARE(query.fieldText(2), QStringLiteral("9007199254740993"));
        QCOMPARE(query.fieldText(3), QStringLiteral("-1234,500"));
        QCOMPARE(query.fieldText(4), QStringLiteral("2,5"));
        QCOMPARE(query.fieldText(5), QStringLiteral("0,25"));
        QCOMPARE(query.fieldText(6), QStringLiteral("Привет"));
        QCOMPARE(query.fieldText(8), QStringLiteral("ab   "));
        QCOMPARE(query.fieldText(9), QStringLiteral("21.10.2004 14:05:09.123"));
        QCOMPARE(query.fieldText(11), QStringLiteral("21.10.2004"));
        QCOMPARE(query.fieldText(12), QStringLiteral("14:05:09"));
        QCOMPARE(query.fieldText(13), QStringLiteral("1"));
        QCOMPARE(query.fieldText(14), QStringLiteral("{A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11}"));
        QCOMPARE(query.fieldText(15), QStringLiteral("0x00FF10"));
        QCOMPARE(query.fieldTextByName(QStringLiteral("IP")), QStringLiteral("10.0.0.1"));

        QCOMPARE(query.fieldValue(2), QVariant::fromValue(qint64(9007199254740993)));
        QCOMPARE(query.fieldValue(9).toDateTime().time(), QTime(14, 5, 9, 123));
        QCOMPARE(query.fieldValue(11).toDate(), QDate(2004, 10, 21));
        QCOMPARE(query.fieldValue(15).toByteArray(), QByteArray::fromHex("00ff10"));
    }

    // Whichever path reads it, the operator sees the same fields, kinds, texts, values and errors.
    void bothReadingPathsAgree()
    {
        Connection other;
        prepare(other);
        other.setOdbcOnly(!odbcOnly_);
        other.open();
        const QStringList batches = {
            QStringLiteral("select * from every_type order by id"),
            QStringLiteral("select 4::oid o, 'x'::name nm, 'y'::\"char\" c1, 'w'::varchar vc, 'u'::bpchar bp, 12.5::money m,"
                           " '-1234.5'::money mn, '{\"a\":1}'::json js, '<a/>'::xml x, '1 day 02:03'::interval iv, B'101' bt,"
                           " '14:05:09+03'::timetz tz, '14:05:09.5'::time t, '24:00'::time midnight, 'abc' lit, null nl,"
                           " '2004-10-21 14:05:09.5+05:30'::timestamptz ts, 'infinity'::timestamp inf, '-infinity'::timestamp ninf,"
                           " '0044-03-15 10:00 BC'::timestamp bc, '0044-03-15 BC'::date bcd, 'NaN'::numeric nan,"
                           " '-Infinity'::float8 ninff, 1e300::float8 big, 0.1::float4 f4, '\\x'::bytea empty,"
                           " 'Grüße, Привет'::varchar(5) cut, (1, 'a') rec"),
            QStringLiteral("select 1 as a where false"),
            QStringLiteral("select 1 as a; select 2 as b"),
            QStringLiteral("set search_path = public"),
            QStringLiteral("select"),
            QStringLiteral("select * from no_such_table"),
            QStringLiteral("select 1; select 1/0"),
            QStringLiteral("selec 1"),
            QStringLiteral("do $$ begin raise exception 'boom' using detail = 'the detail', hint = 'a hint'; end $$"),
        };
        for (const bool asFloat : {false, true}) {
            for (const QString& batch : batches)
                QCOMPARE(Described(connection_, batch, asFloat).join(u'\n'), Described(other, batch, asFloat).join(u'\n'));
        }
    }

    void nullsAreNotEmptyText()
    {
        Query query;
        query.setConnection(&connection_);
        query.setSql({QStringLiteral("select id, t, vc, n from every_type where id = 2")});
        query.open();
        QCOMPARE(query.fieldText(1), QString());
        QVERIFY(!query.fieldIsNull(1));
        QCOMPARE(query.fieldText(2), QString());
        QVERIFY(query.fieldIsNull(2));
        QVERIFY(query.fieldIsNull(3));
        QVERIFY(!query.fieldValue(3).isValid());
    }

    void longValuesArriveWhole()
    {
        Query query;
        query.setConnection(&connection_);
        query.setSql({QStringLiteral("select t, by from every_type where id = 3")});
        query.open();
        QCOMPARE(query.fieldText(0).size(), 9003);
        QVERIFY(query.fieldText(0).endsWith(QStringLiteral("xend")));
        QCOMPARE(query.fieldValue(1).toByteArray(), QByteArray::fromHex(QByteArray("ab").repeated(3000)));
    }

    void decimalsAsFloatForTheMonitor()
    {
        Query query;
        query.setConnection(&connection_);
        query.setDecimalsAsFloat(true);
        query.setSql({QStringLiteral("select n from every_type where id = 1")});
        query.open();
        QVERIFY(query.fieldType(0) == FieldType::Float);
        QCOMPARE(query.fieldText(0), QStringLiteral("-1234,5"));
    }

    void readsAcrossManyBlocks()
    {
        Query query;
        query.setConnection(&connection_);
        // Now and then a value longer than its column is bound for, in every block, in two columns
        // that are long in some rows together and in others alone.
        query.setSql({QStringLiteral("select g, 'row ' || g as label,"
                                     " case when g % 300 = 0 then repeat('y', 3000) || g else 'n' || g end as long,"
                                     " case when g % 450 = 0 then repeat('z', 2000) || g else 'm' || g end as other"
                                     " from generate_series(1, 2500) g")});
        QSignalSpy scrolled(&query, &Query::afterScroll);
        query.open();
        QCOMPARE(query.recordCount(), 2500);
        QCOMPARE(scrolled.count(), 1);
        for (const int row : {1, 300, 450, 900, 1200, 1201, 1350, 1800, 2400, 2500}) {
            query.setRecNo(row);
            QCOMPARE(query.fieldText(0), QString::number(row));
            QCOMPARE(query.fieldText(2), row % 300 == 0 ? QString(3000, u'y') + QString::number(row) : u'n' + QString::number(row));
            QCOMPARE(query.fieldText(3), row % 450 == 0 ? QString(2000, u'z') + QString::number(row) : u'm' + QString::number(row));
        }
        QCOMPARE(query.fieldText(1), QStringLiteral("row 2500"));
        query.next();
        QVERIFY(query.eof());
        QCOMPARE(query.recNo(), 0);
        QVERIFY_THROWS_EXCEPTION(DataError, query.fieldText(0));
    }

    void batchSkipsRowCountsToItsResult()
    {
        Query* query = newQuery(QStringLiteral("create temp table batch_rows (a int);\n"
                                               "insert into batch_rows values (2), (1);\n"
                                               "update batch_rows set a = a where false;\n"
                                               "select a, ':a' as colon from batch_rows order by a"));
        QCOMPARE(openAndCollect(*query), (QStringList{QStringLiteral("1|:a"), QStringLiteral("2|:a")}));
    }

    void batchWithoutResultSetIsALayerError()
    {
        Query* query = newQuery(QStringLiteral("create temp table no_result (a int);\ninsert into no_result values (1)"));
        try {
            query->open();
            QFAIL("no result set");
        } catch (const DataError& e) {
            QCOMPARE(e.message(), QStringLiteral("CommandText does not return a result set"));
        }
        QVERIFY(!query->active());
        QVERIFY(connection_.connected());
    }

    void serverErrorCarriesTheServersText()
    {
        Query* query = newQuery(QStringLiteral("select * from no_such_table"));
        try {
            query->open();
            QFAIL("the table does not exist");
        } catch (const DatabaseError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("relation \"no_such_table\" does not exist")), qPrintable(e.message()));
            QCOMPARE(e.sqlState(), QStringLiteral("42P01"));
        }
        QVERIFY(!query->active());
        QVERIFY(connection_.connected());
        query->setSql({QStringLiteral("select 1")});
        QCOMPARE(openAndCollect(*query), QStringList{QStringLiteral("1")});
    }

    void missingFieldNamesTheDataSet()
    {
        Query* query = newQuery(QStringLiteral("select 1 as a"));
        try {
            query->fieldTextByName(QStringLiteral("a"));
            QFAIL("closed");
        } catch (const DataError& e) {
            QCOMPARE(e.message(), QStringLiteral("Query: Field 'a' not found"));
        }
        query->setObjectName(QStringLiteral("WorkQuery"));
        query->open();
        try {
            query->fieldTextByName(QStringLiteral("spid"));
            QFAIL("no such field");
        } catch (const DataError& e) {
            QCOMPARE(e.message(), QStringLiteral("WorkQuery: Field 'spid' not found"));
        }
    }

    void commandTimeoutStopsALongStatement()
    {
        Connection connection;
        prepare(connection);
        connection.setCommandTimeout(1);
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("select pg_sleep(20)")});
        QElapsedTimer timer;
        timer.start();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, query.open());
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(connection.connected());
    }

    void cancelFromAnotherThread()
    {
        Connection connection;
        prepare(connection);
        connection.setCommandTimeout(30);   // the bound should the cancel be lost
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("select pg_sleep(25)")});
        bool failed = false;
        const qint64 took = OpenedWhileCancelled(connection, std::chrono::milliseconds(500), [&] {
            try {
                query.open();
            } catch (const DatabaseError& e) {
                failed = true;
                QCOMPARE(e.sqlState(), QStringLiteral("57014"));
            }
        });
        QVERIFY(failed);
        QVERIFY2(took < 10000, qPrintable(QString::number(took)));
        QVERIFY(connection.connected());
        query.setSql({QStringLiteral("select 2")});
        QCOMPARE(openAndCollect(query), QStringList{QStringLiteral("2")});
    }

    void cancelWhileRowsArrive()
    {
        Connection connection;
        prepare(connection);
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("select g, repeat('x', 50) from generate_series(1, 5000000) g")});
        const qint64 took = OpenedWhileCancelled(connection, std::chrono::milliseconds(700), [&] {
            try {
                query.open();
            } catch (const DatabaseError& e) {
                QCOMPARE(e.sqlState(), QStringLiteral("57014"));
            } catch (const DataError& e) {
                QCOMPARE(e.message(), QStringLiteral("The query was cancelled"));
            }
        });
        QVERIFY(!query.active());
        QVERIFY2(took < 20000, qPrintable(QString::number(took)));
        query.setSql({QStringLiteral("select 3")});
        QCOMPARE(openAndCollect(query), QStringList{QStringLiteral("3")});
    }

    void killedSessionReportsItselfLost()
    {
        Connection connection;
        prepare(connection);
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("select pg_backend_pid()")});
        query.open();
        const QString pid = query.fieldText(0);
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral("select pg_terminate_backend(%1)").arg(pid), nullptr, &error),
                 qPrintable(error));
        query.setSql({QStringLiteral("select 1")});
        QVERIFY_THROWS_EXCEPTION(DatabaseError, query.open());
        QVERIFY(!connection.connected());
        QVERIFY(!query.active());
        QVERIFY_THROWS_EXCEPTION(DataError, query.open());
        connection.open();
        QCOMPARE(openAndCollect(query), QStringList{QStringLiteral("1")});
    }

    // What a command's substitution relies on: the dialect, and the strings as the session reads
    // them now, after a batch changed them, never taken for standard when the session cannot say.
    void serverSyntaxFollowsTheSession()
    {
        Connection connection;
        prepare(connection);
        connection.open();
        QVERIFY(connection.syntax().dialect == SqlDialect::PostgreSql);
        QCOMPARE(connection.syntax().standardStrings, std::optional<bool>(true));
        Query set;
        set.setConnection(&connection);
        set.setSql({QStringLiteral("set standard_conforming_strings = off")});
        QVERIFY_THROWS_EXCEPTION(DataError, set.open());
        QCOMPARE(connection.syntax().standardStrings, std::optional<bool>(false));
        set.setSql({QStringLiteral("begin; select 1/0")});
        QVERIFY_THROWS_EXCEPTION(DatabaseError, set.open());
        QVERIFY(connection.syntax().standardStrings != std::optional<bool>(true));
    }

    void sqliteThroughItsDriver()
    {
        Connection sqlite;
        sqlite.setConnectionString(TestDatabase::sqliteConnectionString());
        sqlite.open();
        QVERIFY(sqlite.syntax().dialect == SqlDialect::Other);
        Query query;
        query.setConnection(&sqlite);
        const QStringList setup = {
            QStringLiteral("drop table if exists kinds"),
            QStringLiteral("create table kinds (i integer, s text, r real, d datetime, v)"),
            QStringLiteral("insert into kinds values (1, 'один', 1.5, '2004-10-21 14:05:09', 'x')"),
            QStringLiteral("insert into kinds values (2, null, null, null, null)"),
        };
        for (const QString& statement : setup) {
            query.setSql({statement});
            QVERIFY_THROWS_EXCEPTION(DataError, query.open());
        }
        query.setSql({QStringLiteral("select * from kinds order by i")});
        query.open();
        QVERIFY(query.fieldType(0) == FieldType::Integer);
        QVERIFY(IsTextFieldType(query.fieldType(1)));
        QVERIFY(query.fieldType(2) == FieldType::Float);
        QVERIFY(query.fieldType(3) == FieldType::DateTime);
        QCOMPARE(query.fieldText(1), QStringLiteral("один"));
        QCOMPARE(query.fieldText(2), QStringLiteral("1,5"));
        QCOMPARE(query.fieldText(3), QStringLiteral("21.10.2004 14:05:09"));
        query.next();
        QVERIFY(query.fieldIsNull(1));
        QVERIFY(query.fieldIsNull(3));
    }
};

int main(int argc, char** argv)
{
    return RunOnBothReadingPaths<TestQuery>(argc, argv);
}
#include "tst_query.moc"
