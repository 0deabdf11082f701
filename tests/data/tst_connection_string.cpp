#include "data/connection/ConnectionString.h"
#include "data/DataErrors.h"
#include "data/pg/PgLogin.h"

#include <QTest>

class TestConnectionString : public QObject {
    Q_OBJECT

private:
    const QString sqlLogin_ = QStringLiteral(
        "Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=SRV;User ID=sa"
        ";Replication server name connect option=True;Application Name=\"Quillon\";Password=secret");
    const QString windowsLogin_ = QStringLiteral(
        "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data Source=SRV"
        ";Application Name=\"Quillon\"");

private Q_SLOTS:
    void parsesTheLogonStrings()
    {
        const ConnectionSettings sql = ParseConnectionString(sqlLogin_);
        QCOMPARE(sql.provider, QStringLiteral("SQLOLEDB.1"));
        QCOMPARE(sql.dataSource, QStringLiteral("SRV"));
        QCOMPARE(sql.userId, QStringLiteral("sa"));
        QCOMPARE(sql.password, QStringLiteral("secret"));
        QCOMPARE(sql.applicationName, QStringLiteral("Quillon"));
        QVERIFY(sql.persistSecurityInfo);
        QVERIFY(!sql.integratedSecurity);
        QVERIFY(!sql.encrypt);
        QVERIFY(ParseConnectionString(sqlLogin_ + QStringLiteral(";Use Encryption for Data=True")).encrypt);

        const ConnectionSettings win = ParseConnectionString(windowsLogin_);
        QVERIFY(win.integratedSecurity);
        QVERIFY(!win.persistSecurityInfo);
        QVERIFY(win.userId.isEmpty());
    }

    void parsingIgnoresKeyCaseAndReadsQuotes()
    {
        const ConnectionSettings s = ParseConnectionString(QStringLiteral(
            " data SOURCE = srv\\inst ; USER id=bob;password='it''s;x';application name=\"A \"\"B\"\"\";;junk"));
        QCOMPARE(s.dataSource, QStringLiteral("srv\\inst"));
        QCOMPARE(s.userId, QStringLiteral("bob"));
        QCOMPARE(s.password, QStringLiteral("it's;x"));
        QCOMPARE(s.applicationName, QStringLiteral("A \"B\""));
    }

    void emptyPasswordIsKept()
    {
        const ConnectionSettings s = ParseConnectionString(
            QStringLiteral("Data Source=SRV;User ID=sa;Application Name=\"Quillon\";Password="));
        QCOMPARE(s.password, QString());
        QCOMPARE(TranslateToOdbc(s, {}, {QStringLiteral("FreeTDS")}),
                 QStringLiteral("DRIVER={FreeTDS};SERVER=SRV;UID=sa;PWD=;APP=Quillon;Encryption=request;TDS_Version=7.3;"
                                "ClientCharset=UTF-8"));
    }

    void dataSourceNamingADsnUsesIt()
    {
        ConnectionSettings s = ParseConnectionString(sqlLogin_);
        s.dataSource = QStringLiteral("srv");
        QCOMPARE(TranslateToOdbc(s, {{"Other", "FreeTDS"}, {"SRV", "SQLite3"}}, {QStringLiteral("FreeTDS")}),
                 QStringLiteral("DSN=SRV;UID=sa;PWD=secret"));
        const ConnectionSettings win = ParseConnectionString(windowsLogin_);
        QCOMPARE(TranslateToOdbc(win, {{"SRV", "SQLite3"}}, {}), QStringLiteral("DSN=SRV"));
    }

    void dataSourcesGetTheApplicationNameTheirDriverKnows()
    {
        ConnectionSettings s = ParseConnectionString(sqlLogin_);
        QCOMPARE(TranslateToOdbc(s, {{"SRV", "ODBC Driver 18 for SQL Server"}}, {}),
                 QStringLiteral("DSN=SRV;UID=sa;PWD=secret;APP=Quillon;Encrypt=yes"));
        QCOMPARE(TranslateToOdbc(s, {{"SRV", "PostgreSQL Unicode"}}, {}),
                 QStringLiteral("DSN=SRV;UID=sa;PWD=secret;pqopt={application_name='Quillon'}"));
        s.applicationName = QStringLiteral("O'Brien\\x");
        QCOMPARE(TranslateToOdbc(s, {{"SRV", "PostgreSQL Unicode"}}, {}),
                 QStringLiteral("DSN=SRV;UID=sa;PWD=secret;pqopt={application_name='O\\'Brien\\\\x'}"));
        // A FreeTDS data source reads braces its own way.
        s.password = QStringLiteral("a}b;");
        QCOMPARE(TranslateToOdbc(s, {{"SRV", "FreeTDS", "7.4"}}, {}),
                 QStringLiteral("DSN=SRV;UID=sa;PWD={a}b;};APP=O'Brien\\x;Encryption=request"));
    }

    void freeTdsDataSourceWithoutProtocolVersionGetsOne()
    {
        // Left to FreeTDS's automatic choice, a login to a silent server never gives up.
        const ConnectionSettings s = ParseConnectionString(windowsLogin_);
        QCOMPARE(TranslateToOdbc(s, {{"SRV", "FreeTDS", "", "off"}}, {}), QStringLiteral("DSN=SRV;APP=Quillon;TDS_Version=7.3"));
        QCOMPARE(TranslateToOdbc(s, {{"SRV", "FreeTDS", "8.0", "off"}}, {}), QStringLiteral("DSN=SRV;APP=Quillon"));
    }

    void dataSourcesTooLongForTheDriverManagerGoThroughTheirDriver()
    {
        ConnectionSettings s = ParseConnectionString(windowsLogin_);
        s.applicationName.clear();
        s.dataSource = QString(32, u'd');
        QCOMPARE(TranslateToOdbc(s, {{s.dataSource, "SQLite3"}}, {}), QStringLiteral("DSN=") + s.dataSource);
        s.dataSource += u'd';
        QCOMPARE(TranslateToOdbc(s, {{s.dataSource, "SQLite3"}}, {}), QStringLiteral("DRIVER=SQLite3;DSN=") + s.dataSource);
    }

    // psqlODBC keeps the braces of UID and URL-decodes an unbraced PWD ("+" for a blank).
    void postgreSqlGetsValuesTheWayItReadsThem()
    {
        ConnectionSettings s = ParseConnectionString(sqlLogin_);
        const QList<OdbcDataSource> pg{{"SRV", "PostgreSQL Unicode"}};
        s.userId = QStringLiteral("o;brien");
        QCOMPARE(TranslateToOdbc(s, pg, {}), QStringLiteral("DSN=SRV;PWD=secret;pqopt={user='o;brien' application_name='Quillon'}"));
        s.userId = QStringLiteral(" {o}'b\\ ");
        s.applicationName = QStringLiteral("Q}");
        s.password = QStringLiteral("a+b%41");
        QCOMPARE(TranslateToOdbc(s, pg, {}),
                 QStringLiteral("DSN=SRV;PWD={a+b%41};pqopt={user=' {o}}\\'b\\\\ ' application_name='Q}}'}"));
        QCOMPARE(TranslateToOdbc(s, {{"SRV", "ODBC Driver 17 for SQL Server"}}, {}),
                 QStringLiteral("DSN=SRV;UID={ {o}}'b\\ };PWD=a+b%41;APP={Q}}};Encrypt=yes"));

        s.initialCatalog = QStringLiteral("a;b");
        try {
            TranslateToOdbc(s, pg, {});
            QFAIL("psqlODBC cannot take a braced database name");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("database name")), qPrintable(e.message()));
        }
    }

    // A psqlODBC data source is reached through libpq at the host, port and database it names,
    // with the operator's login; one with settings only the driver applies keeps the driver.
    void nativeLoginFromThePsqlOdbcDataSource()
    {
        QHash<QString, QString> ini{{QStringLiteral("Servername"), QStringLiteral("db.local")},
                                    {QStringLiteral("Port"), QStringLiteral("5433")},
                                    {QStringLiteral("Database"), QStringLiteral("stats")},
                                    {QStringLiteral("Username"), QStringLiteral("reader")}};
        const DataSourceSettingReader setting = [&ini](const QString& dsn, const char* key) {
            return dsn == QStringLiteral("PG") ? ini.value(QString::fromLatin1(key)) : QString();
        };
        const QList<OdbcDataSource> sources{{"PG", "PostgreSQL Unicode"}, {"MS", "FreeTDS"}};

        ConnectionSettings login = ParseConnectionString(
            QStringLiteral("Data Source=pg;User ID=\" o;b}r\";Password=\"p;w d\";Application Name=Quillon"));
        std::optional<PgLogin> native = NativeLogin(login, sources, setting);
        QVERIFY(native);
        QCOMPARE(native->value(QStringLiteral("host")), QStringLiteral("db.local"));
        QCOMPARE(native->value(QStringLiteral("port")), QStringLiteral("5433"));
        QCOMPARE(native->value(QStringLiteral("dbname")), QStringLiteral("stats"));
        QCOMPARE(native->value(QStringLiteral("user")), QStringLiteral(" o;b}r"));
        QCOMPARE(native->value(QStringLiteral("password")), QStringLiteral("p;w d"));
        QCOMPARE(native->value(QStringLiteral("application_name")), QStringLiteral("Quillon"));
        QCOMPARE(native->value(QStringLiteral("sslmode")), QStringLiteral("disable"));

        login.initialCatalog = QStringLiteral("other");
        login.integratedSecurity = true;
        native = NativeLogin(login, sources, setting);
        QCOMPARE(native->value(QStringLiteral("dbname")), QStringLiteral("other"));
        QCOMPARE(native->value(QStringLiteral("user")), QStringLiteral("reader"));
        QVERIFY(native->value(QStringLiteral("password")).isEmpty());

        login.dataSource = QStringLiteral("MS");
        QVERIFY(!NativeLogin(login, sources, setting));
        login.dataSource = QStringLiteral("SRV");
        QVERIFY(!NativeLogin(login, sources, setting));
        login.dataSource = QStringLiteral("PG");
        ini.insert(QStringLiteral("BoolsAsChar"), QStringLiteral("0"));
        QVERIFY(!NativeLogin(login, sources, setting));
    }

    void noDriverGetsANulCharacter()
    {
        ConnectionSettings s = ParseConnectionString(sqlLogin_);
        s.password = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        for (const char* driver : {"PostgreSQL Unicode", "FreeTDS", "SQLite3"})
            QVERIFY_THROWS_EXCEPTION(DataError, TranslateToOdbc(s, {{"SRV", driver}}, {}));
    }

    // The login is encrypted wherever the server can encrypt it, the whole session where the profile
    // asks; a data source's own setting stands unless more is asked; the vendor's drivers check the
    // server's certificate unless the data source says to trust it.
    void encryption_data()
    {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QList<OdbcDataSource>>("sources");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("expected");
        const QString asked = sqlLogin_ + QStringLiteral(";Use Encryption for Data=True");
        const QString tail = QStringLiteral(";SERVER=SRV;UID=sa;PWD=secret;APP=Quillon");
        QTest::newRow("FreeTDS, requested") << sqlLogin_ << QList<OdbcDataSource>{} << "FreeTDS"
                                            << "DRIVER={FreeTDS}" + tail + ";Encryption=request;TDS_Version=7.3;ClientCharset=UTF-8";
        QTest::newRow("FreeTDS, required") << asked << QList<OdbcDataSource>{} << "FreeTDS"
                                           << "DRIVER={FreeTDS}" + tail + ";Encryption=require;TDS_Version=7.3;ClientCharset=UTF-8";
        QTest::newRow("driver 18") << sqlLogin_ << QList<OdbcDataSource>{} << "ODBC Driver 18 for SQL Server"
                                   << "DRIVER={ODBC Driver 18 for SQL Server}" + tail + ";Encrypt=yes";
        QTest::newRow("FreeTDS source, silent") << sqlLogin_ << QList<OdbcDataSource>{{"SRV", "FreeTDS", "7.4"}} << ""
                                                << "DSN=SRV;UID=sa;PWD=secret;APP=Quillon;Encryption=request";
        QTest::newRow("FreeTDS source, off") << sqlLogin_ << QList<OdbcDataSource>{{"SRV", "FreeTDS", "7.4", "off"}} << ""
                                             << "DSN=SRV;UID=sa;PWD=secret;APP=Quillon";
        QTest::newRow("FreeTDS source, off, required") << asked << QList<OdbcDataSource>{{"SRV", "FreeTDS", "7.4", "off"}} << ""
                                                       << "DSN=SRV;UID=sa;PWD=secret;APP=Quillon;Encryption=require";
        QTest::newRow("driver 17 source, no") << sqlLogin_
                                              << QList<OdbcDataSource>{{"SRV", "ODBC Driver 17 for SQL Server", "", "no"}} << ""
                                              << "DSN=SRV;UID=sa;PWD=secret;APP=Quillon";
        QTest::newRow("PostgreSQL source") << asked << QList<OdbcDataSource>{{"SRV", "PostgreSQL Unicode"}} << ""
                                           << "DSN=SRV;UID=sa;PWD=secret;pqopt={application_name='Quillon'}";
    }
    void encryption()
    {
        QFETCH(QString, connection);
        QFETCH(QList<OdbcDataSource>, sources);
        QFETCH(QString, driver);
        QFETCH(QString, expected);
        QCOMPARE(TranslateToOdbc(ParseConnectionString(connection), sources, {driver}), expected);
    }

    void dsnLessPicksTheBestDriver_data()
    {
        QTest::addColumn<QStringList>("drivers");
        QTest::addColumn<QString>("expected");
        const QString tail = QStringLiteral(";SERVER=SRV;UID=sa;PWD=secret;APP=Quillon");
        QTest::newRow("18 first") << QStringList{QStringLiteral("FreeTDS"), QStringLiteral("ODBC Driver 17 for SQL Server"),
                                                  QStringLiteral("ODBC Driver 18 for SQL Server")}
                                  << QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server}") + tail + QStringLiteral(";Encrypt=yes");
        QTest::newRow("17 before FreeTDS") << QStringList{QStringLiteral("FreeTDS"), QStringLiteral("ODBC Driver 17 for SQL Server")}
                                           << QStringLiteral("DRIVER={ODBC Driver 17 for SQL Server}") + tail + QStringLiteral(";Encrypt=yes");
        QTest::newRow("FreeTDS") << QStringList{QStringLiteral("PostgreSQL Unicode"), QStringLiteral("FreeTDS")}
                                 << QStringLiteral("DRIVER={FreeTDS}") + tail
                                        + QStringLiteral(";Encryption=request;TDS_Version=7.3;ClientCharset=UTF-8");
    }
    void dsnLessPicksTheBestDriver()
    {
        QFETCH(QStringList, drivers);
        QFETCH(QString, expected);
        QCOMPARE(TranslateToOdbc(ParseConnectionString(sqlLogin_), {{"PG", "PostgreSQL Unicode"}}, drivers), expected);
    }

    void serverFormsPassUnchanged_data()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("host") << QStringLiteral("db1");
        QTest::newRow("instance") << QStringLiteral("db1\\SQLEXPRESS");
        QTest::newRow("port") << QStringLiteral("db1,1433");
    }
    void serverFormsPassUnchanged()
    {
        QFETCH(QString, server);
        ConnectionSettings win = ParseConnectionString(windowsLogin_);
        win.dataSource = server;
        QCOMPARE(TranslateToOdbc(win, {}, {QStringLiteral("FreeTDS")}),
                 QStringLiteral("DRIVER={FreeTDS};SERVER=%1;Trusted_Connection=yes;APP=Quillon;Encryption=request;"
                                "TDS_Version=7.3;ClientCharset=UTF-8")
                     .arg(server));
    }

    void specialCharactersAreBraced()
    {
        ConnectionSettings s = ParseConnectionString(sqlLogin_);
        s.password = QStringLiteral("a;b}c");
        QCOMPARE(TranslateToOdbc(s, {}, {QStringLiteral("ODBC Driver 17 for SQL Server")}),
                 QStringLiteral("DRIVER={ODBC Driver 17 for SQL Server};SERVER=SRV;UID=sa;PWD={a;b}}c};APP=Quillon;Encrypt=yes"));
        // FreeTDS reads no doubled brace: the value goes in as it is.
        QCOMPARE(TranslateToOdbc(s, {}, {QStringLiteral("FreeTDS")}),
                 QStringLiteral("DRIVER={FreeTDS};SERVER=SRV;UID=sa;PWD={a;b}c};APP=Quillon;Encryption=request;TDS_Version=7.3;"
                                "ClientCharset=UTF-8"));
    }

    void freeTdsRefusesWhatItCannotCarry()
    {
        ConnectionSettings s = ParseConnectionString(sqlLogin_);
        s.password = QStringLiteral("x};y");
        try {
            TranslateToOdbc(s, {}, {QStringLiteral("FreeTDS")});
            QFAIL("a password with }; must be refused for FreeTDS");
        } catch (const DataError& e) {
            QVERIFY(e.message().contains(QStringLiteral("password")));
            QVERIFY(!e.message().contains(QStringLiteral("x};y")));
        }
        QVERIFY(TranslateToOdbc(s, {}, {QStringLiteral("ODBC Driver 17 for SQL Server")}).contains(QStringLiteral("PWD={x}};y}")));
    }

    void noDriverNamesWhatIsMissing()
    {
        try {
            TranslateToOdbc(ParseConnectionString(sqlLogin_), {{"PG", "PostgreSQL Unicode"}}, {QStringLiteral("SQLite3")});
            QFAIL("no driver must be an error");
        } catch (const DataError& e) {
            QVERIFY(e.message().contains(QStringLiteral("\"SRV\"")));
            QVERIFY(e.message().contains(QStringLiteral("FreeTDS")));
            QVERIFY(e.message().contains(QStringLiteral("ODBC Driver 18 for SQL Server")));
        }
    }
};

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connection_string.moc"
