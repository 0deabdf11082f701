#include "TestDatabase.h"
#include "data/Connection.h"
#include "data/DataErrors.h"
#include "data/odbc/OdbcConnection.h"

#include <QElapsedTimer>
#include <QRegularExpression>
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

} // namespace

class TestConnection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(TestDatabase::available(), "the database fixture did not run");
    }

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

    void driverManagerVersionHasNoLeadingZeros()
    {
        const QString version = Connection::driverManagerVersion();
        QVERIFY2(QRegularExpression(QStringLiteral("^[1-9][0-9]*(\\.(0|[1-9][0-9]*)){3}$")).match(version).hasMatch(),
                 qPrintable(version));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
