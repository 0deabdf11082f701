#include "BoundedCall.h"
#include "DatabaseTest.h"
#include "HostileListener.h"
#include "ProgramFixture.h"
#include "Widgets.h"

#include "app/DriverWait.h"
#include "app/ModalResult.h"
#include "app/RunAside.h"
#include "connection/Connect.h"
#include "connection/FormLogon.h"
#include "data/connection/Connection.h"
#include "platform/QuillonError.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <map>

// Connecting to servers that misbehave: every attempt ends within the caller's deadline (the login
// time-out plus two seconds), whatever the driver would do on its own, and the interface goes on.
class TestHostileServers : public DatabaseTest {
    Q_OBJECT

    using Mode = HostileListener::Mode;

    static constexpr int LoginTimeout = 2;
    // The deadline, and what a loaded machine may add to it.
    static constexpr qint64 Limit = (LoginTimeout + 2) * 1000 + 2500;

    QTemporaryDir dir;
    std::map<Mode, std::unique_ptr<HostileListener>> listeners;

    static QString modeName(Mode mode)
    {
        switch (mode) {
        case Mode::Silent: return QStringLiteral("Silent");
        case Mode::Garbage: return QStringLiteral("Garbage");
        case Mode::Trickle: return QStringLiteral("Trickle");
        case Mode::CloseAtOnce: return QStringLiteral("Closing");
        }
        return {};
    }

    // Run where the test fixture ran, which configures the ODBC drivers.
    void prepareDatabase() override
    {
        // Data sources of our own that point at the listeners; the FreeTDS ones leave the protocol
        // version to FreeTDS, as Debian's configuration does.
        QByteArray ini;
        for (Mode mode : {Mode::Silent, Mode::Garbage, Mode::Trickle, Mode::CloseAtOnce}) {
            auto listener = std::make_unique<HostileListener>(mode);
            const QByteArray port = QByteArray::number(listener->port());
            const QByteArray name = modeName(mode).toLatin1();
            ini += "[HostilePG" + name + "]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" + port
                + "\nDatabase=quillon\n\n";
            ini += "[HostileTDS" + name + "]\nDriver=FreeTDS\nServer=127.0.0.1\nPort=" + port + "\n\n";
            listeners[mode] = std::move(listener);
        }
        QFile file(dir.filePath(QStringLiteral("odbc.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
        file.close();
        qputenv("ODBCINI", QFile::encodeName(file.fileName()));
    }

private Q_SLOTS:
    void cleanupTestCase()
    {
        // With the listeners gone, every attempt that was let go hears its server close and ends.
        listeners.clear();
        QTRY_COMPARE_WITH_TIMEOUT(AsideWorksGoing(), 0, 20000);
    }

    void attemptEndsWithinTheDeadline_data()
    {
        QTest::addColumn<QString>("connectionString");
        for (Mode mode : {Mode::Silent, Mode::Garbage, Mode::Trickle, Mode::CloseAtOnce}) {
            const QString name = modeName(mode);
            const int port = listeners.at(mode)->port();
            QTest::newRow(qPrintable(name + QStringLiteral(", PostgreSQL data source")))
                << QStringLiteral("Data Source=HostilePG%1;User ID=u;Password=p").arg(name);
            QTest::newRow(qPrintable(name + QStringLiteral(", FreeTDS data source")))
                << QStringLiteral("Data Source=HostileTDS%1;User ID=u;Password=p").arg(name);
            QTest::newRow(qPrintable(name + QStringLiteral(", FreeTDS without a data source")))
                << QStringLiteral("Data Source=127.0.0.1,%1;User ID=u;Password=p").arg(port);
        }
    }

    void attemptEndsWithinTheDeadline()
    {
        QFETCH(QString, connectionString);
        Connection connection;
        connection.setConnectionString(connectionString);
        connection.setConnectionTimeout(LoginTimeout);
        QElapsedTimer clock;
        clock.start();
        bool failed = false;
        BoundedCall("the connection attempt", [&] {
            try {
                OpenConnection(connection, nullptr);
            } catch (const QuillonError&) {
                failed = true;
            }
        });
        const qint64 elapsed = clock.elapsed();
        qInfo("gave up after %lld ms", elapsed);
        QVERIFY(failed);
        QVERIFY(!connection.connected());
        QVERIFY2(elapsed < Limit, qPrintable(QString::number(elapsed)));
    }

    void logonToASilentServerFailsWithinTheDeadline()
    {
        ProgramFixture program;
        program.writeCatalogue({});
        program.folder.write(QStringLiteral("Config/Servers.lst"), "HostileTDSSilent\r\n");
        program.folder.write(QStringLiteral("Config/Connections.ini"),
                             "[HostileTDSSilent]\r\nAuthorization=0\r\nLastUser=u\r\nConnectionTimeout=2\r\n");
        program.startApp();
        TConnect descriptor;
        TFormLogon logon(descriptor);
        qint64 elapsed = 0;
        program.modals.next<TFormLogon>([&elapsed](TFormLogon* dialog) {
            Child<QLineEdit>(dialog, "Edit2")->setText(QStringLiteral("p"));
            QElapsedTimer clock;
            clock.start();
            Child<QPushButton>(dialog, "BitBtn1")->click();
            elapsed = clock.elapsed();
        });
        int result = 0;
        BoundedCall("the logon", [&] { result = logon.exec(); });
        qInfo("the logon gave up after %lld ms", elapsed);
        QCOMPARE(result, int(mrNo));
        QVERIFY2(elapsed < Limit, qPrintable(QString::number(elapsed)));
        program.verifyModals();
    }
};

QTEST_MAIN(TestHostileServers)
#include "tst_hostile_servers.moc"
