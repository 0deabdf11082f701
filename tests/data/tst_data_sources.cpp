#include "DatabaseTest.h"
#include "TestDatabase.h"
#include "data/connection/Connection.h"
#include "data/Query.h"
#include "platform/QuillonError.h"
#include "data/odbc/OdbcEnvironment.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Longer than the SQL_MAX_DSN_LENGTH (32) that ODBC once set as the limit for names.
const QString longDsn = QStringLiteral("Quillon_long_data_source_name_") + QString(50, u'x');
const QString longDriver = QStringLiteral("PostgreSQL Unicode under a long name ") + QString(600, u'y');

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of key in the [section] of an ODBC ini text.
QByteArray IniValue(const QByteArray& text, const QByteArray& section, const QByteArray& key)
{
    bool inSection = false;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('['))
            inSection = trimmed == '[' + section + ']';
        else if (inSection && trimmed.startsWith(key + '='))
            return trimmed.mid(key.size() + 1);
    }
    return {};
}

} // namespace

// Data source and driver names longer than the buffers ODBC suggests for them, in a private copy
// of the test configuration.
class TestDataSources : public DatabaseTest {
    Q_OBJECT

    QTemporaryDir config_;

    QString connectionString(const QString& dsn) const
    {
        return QStringLiteral("Data Source=%1;User ID=%2;Password=\"%3\";Application Name=\"Quillon\"")
            .arg(dsn, TestDatabase::user(), QString(TestDatabase::password()).replace(u'"', QStringLiteral("\"\"")));
    }

protected:
    void prepareDatabase() override
    {
        const QString fixture = qEnvironmentVariable("ODBCSYSINI");
        const QByteArray drivers = ReadAll(fixture + QStringLiteral("/odbcinst.ini"));
        const QByteArray sources = ReadAll(fixture + QStringLiteral("/odbc.ini"));
        const QByteArray library = IniValue(drivers, "PostgreSQL Unicode", "Driver");
        QVERIFY(!library.isEmpty());
        const QByteArray pg = TestDatabase::pgDsn().toUtf8();
        QByteArray server = "Servername=" + IniValue(sources, pg, "Servername") + "\nPort=" + IniValue(sources, pg, "Port")
                            + "\nDatabase=" + IniValue(sources, pg, "Database") + "\n";

        QFile odbcinst(config_.filePath(QStringLiteral("odbcinst.ini")));
        QVERIFY(odbcinst.open(QIODevice::WriteOnly));
        odbcinst.write(drivers + "\n[" + longDriver.toUtf8() + "]\nDriver=" + library + "\n");
        odbcinst.close();
        QFile odbc(config_.filePath(QStringLiteral("odbc.ini")));
        QVERIFY(odbc.open(QIODevice::WriteOnly));
        odbc.write(sources + "\n[" + longDsn.toUtf8() + "]\nDriver=PostgreSQL Unicode\n" + server + "\n[QuillonLongDriver]\nDriver="
                   + longDriver.toUtf8() + "\n" + server);
        odbc.close();
        // Before the first ODBC call of the process, which reads the configuration.
        qputenv("ODBCSYSINI", QFile::encodeName(config_.path()));
        qputenv("ODBCINI", QFile::encodeName(config_.filePath(QStringLiteral("odbc.ini"))));
    }

private Q_SLOTS:
    void longNamesAreListedWhole()
    {
        QHash<QString, QString> driverOf;
        for (const OdbcDataSource& source : OdbcEnvironment::instance().dataSources())
            driverOf.insert(source.name, source.driver);
        QVERIFY2(driverOf.contains(longDsn), qPrintable(driverOf.keys().join(u'|')));
        QCOMPARE(driverOf.value(longDsn), QStringLiteral("PostgreSQL Unicode"));
        QCOMPARE(driverOf.value(QStringLiteral("QuillonLongDriver")), longDriver);
        QCOMPARE(driverOf.value(TestDatabase::pgDsn()), QStringLiteral("PostgreSQL Unicode"));
        QVERIFY(OdbcEnvironment::instance().drivers().contains(longDriver));
    }

    void connectsThroughThem_data()
    {
        QTest::addColumn<QString>("dsn");
        QTest::newRow("long data source name") << longDsn;
        QTest::newRow("long driver name") << QStringLiteral("QuillonLongDriver");
    }
    void connectsThroughThem()
    {
        QFETCH(QString, dsn);
        Connection connection;
        connection.setConnectionString(connectionString(dsn));
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("select current_user, current_setting('application_name')")});
        try {
            connection.open();
            query.open();
        } catch (const QuillonError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QCOMPARE(query.fieldText(0), TestDatabase::user());
        QCOMPARE(query.fieldText(1), QStringLiteral("Quillon"));
    }
};

QTEST_GUILESS_MAIN(TestDataSources)
#include "tst_data_sources.moc"
