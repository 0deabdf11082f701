#pragma once

// A SQL Server stand-in of a test's own (tests/tds/tds_standin.py, a test fixture) in front of the
// test database: for tests that stop and restart it, or need one that cannot encrypt. The "mssql"
// fixture's shared one serves the rest. Needs QUILLON_TDS_STANDIN, which MSSQL tests are built with.

#include "TestDatabase.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

class TdsStandIn {
public:
    enum class Encryption { Offered, None };

    explicit TdsStandIn(Encryption encryption = Encryption::Offered) : encryption_(encryption) {}
    ~TdsStandIn() { stop(); }
    TdsStandIn(const TdsStandIn&) = delete;
    TdsStandIn& operator=(const TdsStandIn&) = delete;

    // Listens on a free port the first time, on the same port after a stop.
    bool start()
    {
        QStringList arguments{QStringLiteral(QUILLON_TDS_STANDIN),
                              QStringLiteral("--pg-port"),
                              QString::number(TestDatabase::pgPort()),
                              QStringLiteral("--database"),
                              TestDatabase::value(QStringLiteral("PG_DATABASE")),
                              QStringLiteral("--port"),
                              QString::number(port_)};
        if (encryption_ == Encryption::None)
            arguments << QStringLiteral("--no-tls");
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("/usr/bin/python3"), arguments);
        // A port just given up may take a moment to be free again.
        const QRegularExpression listening(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)$"),
                                           QRegularExpression::MultilineOption);
        const bool up = QTest::qWaitFor([&] {
            output_ += QString::fromUtf8(process_.readAll());
            return listening.match(output_).hasMatch() || process_.state() == QProcess::NotRunning;
        }, 15000);
        const QRegularExpressionMatch match = listening.match(output_);
        if (!up || !match.hasMatch()) {
            qWarning("the SQL Server stand-in did not start: %s", qPrintable(output_));
            return false;
        }
        port_ = match.captured(1).toInt();
        return true;
    }

    // Ends it as a crash would: its clients find their connections closed.
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill();
        process_.waitForFinished(5000);
        output_.clear();
    }

    int port() const { return port_; }
    QString server() const { return TestDatabase::mssqlServer(port_); }

private:
    Encryption encryption_;
    QProcess process_;
    QString output_;
    int port_ = 0;
};
