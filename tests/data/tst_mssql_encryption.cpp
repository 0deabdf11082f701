#include "DatabaseTest.h"
#include "RecordingRelay.h"
#include "TdsStandIn.h"
#include "TestDatabase.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/Query.h"

#include <QTest>

// The login to a SQL Server through FreeTDS, read on the wire by a relay in front of the stand-in
// (a test fixture): encrypted wherever the server can encrypt, the whole session when the profile
// asks for it, and in the clear with a server that cannot encrypt, unless encryption is required.
class TestMssqlEncryption : public DatabaseTest {
    Q_OBJECT

public:
    TestMssqlEncryption() : DatabaseTest(Needs::SqlServerStandIn) {}

private:
    struct Packet {
        int type = 0;
        QByteArray payload;
    };

    // The whole TDS packets at the start of what one side sent.
    static QList<Packet> leadingPackets(const QByteArray& bytes, int most)
    {
        QList<Packet> packets;
        qsizetype at = 0;
        while (packets.size() < most && at + 8 <= bytes.size()) {
            const int length = (uchar(bytes[at + 2]) << 8) | uchar(bytes[at + 3]);
            if (length < 8 || at + length > bytes.size())
                break;
            packets.append({uchar(bytes[at]), bytes.mid(at + 8, length - 8)});
            at += length;
        }
        return packets;
    }

    // The value of the ENCRYPTION option of a PRELOGIN, or -1.
    static int encryptionOption(const QByteArray& prelogin)
    {
        for (qsizetype at = 0; at + 5 <= prelogin.size() && uchar(prelogin[at]) != 0xFF; at += 5) {
            if (prelogin[at] != 1)
                continue;
            const int offset = (uchar(prelogin[at + 1]) << 8) | uchar(prelogin[at + 2]);
            return offset < prelogin.size() ? uchar(prelogin[offset]) : -1;
        }
        return -1;
    }

    static QByteArray utf16(const QString& text)
    {
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }

    // The password as LOGIN7 carries it: each byte's halves swapped, then xor 0xA5.
    static QByteArray obfuscated(const QString& password)
    {
        QByteArray bytes = utf16(password);
        for (char& b : bytes)
            b = char(((uchar(b) << 4 | uchar(b) >> 4) & 0xFF) ^ 0xA5);
        return bytes;
    }

    const QString marker_ = QStringLiteral("маркер-в-пути");

    // Logs on through the relay, runs a query that carries the marker both ways and closes.
    void logOnAndQuery(RecordingRelay& relay, bool required)
    {
        QString text = TestDatabase::loginConnectionString(TestDatabase::mssqlServer(relay.port()), TestDatabase::user(),
                                                           TestDatabase::password());
        if (required)
            text += QStringLiteral(";Use Encryption for Data=True");
        Connection connection;
        connection.setConnectionString(text);
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setSql({QStringLiteral("select '%1' as x").arg(marker_)});
        query.open();
        QCOMPARE(query.fieldText(0), marker_);
        connection.close();
    }

    // The client's PRELOGIN asks for encryption, and the TLS handshake follows in PRELOGIN packets.
    static void checkHandshake(const QByteArray& fromClient, int asked)
    {
        const QList<Packet> packets = leadingPackets(fromClient, 2);
        QCOMPARE(packets.size(), 2);
        QCOMPARE(packets[0].type, 0x12);
        QCOMPARE(encryptionOption(packets[0].payload), asked);
        QCOMPARE(packets[1].type, 0x12);
        QCOMPARE(int(uchar(packets[1].payload.at(0))), 0x16);   // a TLS handshake record: ClientHello
    }

    void checkLoginHidden(const QByteArray& fromClient)
    {
        QVERIFY(!fromClient.contains(utf16(TestDatabase::user())));
        QVERIFY(!fromClient.contains(obfuscated(TestDatabase::password())));
    }

private Q_SLOTS:
    // FreeTDS asks for encryption ("request"); a server that answers ENCRYPT_OFF encrypts the login alone.
    void loginTravelsInsideTls()
    {
        RecordingRelay relay(TestDatabase::mssqlPort());
        logOnAndQuery(relay, false);
        checkHandshake(relay.fromClients(), 0);
        checkLoginHidden(relay.fromClients());
        // Past the login the session is in the clear, as SQL Server keeps it unless told otherwise.
        QVERIFY(relay.fromClients().contains(utf16(marker_)));
    }

    void wholeSessionWhenRequired()
    {
        RecordingRelay relay(TestDatabase::mssqlPort());
        logOnAndQuery(relay, true);
        checkHandshake(relay.fromClients(), 1);
        checkLoginHidden(relay.fromClients());
        QVERIFY(!relay.fromClients().contains(utf16(marker_)));
        QVERIFY(!relay.fromServer().contains(utf16(marker_)));
    }

    // A server that cannot encrypt is still reached, unless encryption is required.
    void serverWithoutEncryption()
    {
        TdsStandIn plain(TdsStandIn::Encryption::None);
        QVERIFY(plain.start());
        RecordingRelay relay(plain.port());
        logOnAndQuery(relay, false);
        // The relay would have seen a login in the clear.
        QVERIFY(relay.fromClients().contains(utf16(TestDatabase::user())));
        QVERIFY(relay.fromClients().contains(obfuscated(TestDatabase::password())));

        Connection connection;
        connection.setConnectionString(TestDatabase::loginConnectionString(plain.server(), TestDatabase::user(),
                                                                           TestDatabase::password())
                                       + QStringLiteral(";Use Encryption for Data=True"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, connection.open());
        QVERIFY(!connection.connected());
    }
};

QTEST_GUILESS_MAIN(TestMssqlEncryption)
#include "tst_mssql_encryption.moc"
