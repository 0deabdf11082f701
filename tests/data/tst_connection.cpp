#include "DatabaseTest.h"
#include "TestDatabase.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/Query.h"
#include "data/odbc/OdbcConnection.h"
#include "data/pg/PgConnection.h"
#include "data/pg/PgLogin.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

// A loopback port on which nothing listens.
quint16 ClosedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// A value of the logon's connection string, in double quotes.
QString Quoted(QString value)
{
    return u'"' + value.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

class TestConnection : public DatabaseTest {
    Q_OBJECT

private Q_SLOTS:
    void opensThroughTheDataSourceAndSignals()
    {
        Connection connection;
        QSignalSpy connected(&connection, &Connection::afterConnect);
        connection.setConnectionString(TestDatabase::pgConnectionString());
        QVERIFY(!connection.connected());
        connection.open();
        QVERIFY(connection.connected());
        QCOMPARE(connected.count(), 1);
        connection.close();
        QVERIFY(!connection.connected());
        // A closed connection opens again.
        connection.open();
        QVERIFY(connection.connected());
        QCOMPARE(connected.count(), 2);
    }

    void wrongPasswordIsTheServersError()
    {
        Connection connection;
        QSignalSpy connected(&connection, &Connection::afterConnect);
        connection.setConnectionString(QStringLiteral("Data Source=%1;User ID=%2;Password=wrong")
                                           .arg(TestDatabase::pgDsn(), TestDatabase::user()));
        try {
            connection.open();
            QFAIL("a wrong password must fail");
        } catch (const DatabaseError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("password authentication failed")), qPrintable(e.message()));
            QVERIFY(!e.message().startsWith(u'['));
        }
        QVERIFY(!connection.connected());
        QCOMPARE(connected.count(), 0);
    }

    // Whatever a role's name and password hold, the server receives them as the operator typed them.
    void oddUserNamesAndPasswordsArriveVerbatim_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("password");
        QTest::newRow("semicolon in the name") << QStringLiteral("o;brien") << QStringLiteral("secret");
        QTest::newRow("braces in the name") << QStringLiteral("{o}br}}ien}") << QStringLiteral("secret");
        QTest::newRow("blanks around the name") << QStringLiteral(" o brien ") << QStringLiteral("secret");
        QTest::newRow("quotes and backslashes") << QStringLiteral("o'b\\r\"ien") << QStringLiteral("se'c\\ret");
        QTest::newRow("plus and percent in the password") << QStringLiteral("obrien") << QStringLiteral("a+b%41c");
        QTest::newRow("all of it") << QStringLiteral(" o;b}r{i'e\\n ") << QStringLiteral(" p;w}d{+%2B' ");
    }
    void oddUserNamesAndPasswordsArriveVerbatim()
    {
        QFETCH(QString, role);
        QFETCH(QString, password);
        const QString identifier = u'"' + QString(role).replace(u'"', QStringLiteral("\"\"")) + u'"';
        const QString literal = u'\'' + QString(password).replace(u'\'', QStringLiteral("''")) + u'\'';
        QString error;
        QVERIFY2(TestDatabase::psql(QStringLiteral("drop role if exists %1; create role %1 login password %2").arg(identifier, literal),
                                    nullptr, &error),
                 qPrintable(error));
        const auto dropRole = qScopeGuard([&] { TestDatabase::psql(QStringLiteral("drop role if exists ") + identifier); });

        Connection connection;
        connection.setConnectionString(
            QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=%1;User ID=%2;Application Name=\"Quillon\";Password=%3")
                .arg(TestDatabase::pgDsn(), Quoted(role), Quoted(password)));
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("select current_user, current_setting('application_name')")});
        try {
            connection.open();
            query.open();
        } catch (const QuillonError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QCOMPARE(query.fieldText(0), role);
        QCOMPARE(query.fieldText(1), QStringLiteral("Quillon"));
        query.close();
        connection.close();
    }

    void unknownServerWithoutDriverIsALayerError()
    {
        // The private configuration registers FreeTDS, so remove the doubt: a data source that
        // names nothing and no SQL Server driver of that name is reported by the layer.
        Connection connection;
        connection.setConnectionString(QStringLiteral("Data Source=nowhere;User ID=a;Password=b"));
        try {
            connection.open();
        } catch (const DataError&) {
            QFAIL("FreeTDS is registered: the layer must try it");
        } catch (const DatabaseError&) {
        }
        QVERIFY(!connection.connected());
    }

    void refusedPortFailsAtOnce()
    {
        const quint16 port = ClosedPort();
        OdbcConnection postgres;
        QElapsedTimer timer;
        timer.start();
        QVERIFY_THROWS_EXCEPTION(DatabaseError,
                                 postgres.connect(QStringLiteral("DRIVER={PostgreSQL Unicode};Servername=127.0.0.1;Port=%1;"
                                                                 "Database=x;UID=x;PWD=x").arg(port), 15));
        QVERIFY(timer.elapsed() < 5000);

        Connection freeTds;
        freeTds.setConnectionString(QStringLiteral("Data Source=127.0.0.1,%1;User ID=sa;Password=x").arg(port));
        timer.restart();
        try {
            freeTds.open();
            QFAIL("nothing listens there");
        } catch (const DatabaseError& e) {
            QVERIFY2(!e.sqlState().isEmpty(), qPrintable(e.message()));
        }
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(!freeTds.connected());
    }

    void silentServerHitsTheLoginTimeout()
    {
        // Accepts TCP connections (the kernel completes them) and never says a word.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));

        Connection freeTds;
        freeTds.setConnectionTimeout(2);
        freeTds.setConnectionString(QStringLiteral("Data Source=127.0.0.1,%1;User ID=sa;Password=x").arg(silent.serverPort()));
        QElapsedTimer timer;
        timer.start();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, freeTds.open());
        QVERIFY2(timer.elapsed() >= 1500 && timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));

        OdbcConnection postgres;
        timer.restart();
        QVERIFY_THROWS_EXCEPTION(DatabaseError,
                                 postgres.connect(QStringLiteral("DRIVER={PostgreSQL Unicode};Servername=127.0.0.1;Port=%1;"
                                                                 "Database=x;UID=x;PWD=x").arg(silent.serverPort()), 2));
        QVERIFY2(timer.elapsed() >= 1500 && timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    // libpq's connect fails as the driver's does: at once on a refused port, within the login
    // time-out on a silent server, with SQLSTATE 08001.
    void nativeConnectFailsAsTheDriverDoes()
    {
        const auto login = [](quint16 port) {
            return PgLogin{{{QStringLiteral("host"), QStringLiteral("127.0.0.1")},
                            {QStringLiteral("port"), QString::number(port)},
                            {QStringLiteral("dbname"), QStringLiteral("x")},
                            {QStringLiteral("user"), QStringLiteral("x")}}};
        };
        PgConnection refused;
        QElapsedTimer timer;
        timer.start();
        try {
            refused.connect(login(ClosedPort()), 15);
            QFAIL("nothing listens there");
        } catch (const DatabaseError& e) {
            QCOMPARE(e.sqlState(), QStringLiteral("08001"));
            QVERIFY2(e.message().contains(QStringLiteral("refused")), qPrintable(e.message()));
        }
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(!refused.isOpen());

        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        PgConnection waiting;
        timer.restart();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, waiting.connect(login(silent.serverPort()), 2));
        QVERIFY2(timer.elapsed() >= 1500 && timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    void driverManagerVersionHasNoLeadingZeros()
    {
        const QString version = Connection::driverManagerVersion();
        QVERIFY2(QRegularExpression(QStringLiteral("^[1-9][0-9]*(\\.(0|[1-9][0-9]*)){3}$")).match(version).hasMatch(),
                 qPrintable(version));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
