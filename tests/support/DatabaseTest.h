#pragma once

// The base of a suite that needs the throwaway database (and, if asked, the SQL Server stand-in
// in front of it). Run by CTest, where the fixture was meant to start, a missing server fails the
// suite; run by hand without the fixture, the suite is skipped and says what to run instead.

#include <QObject>
#include <QString>

class DatabaseTest : public QObject {
    Q_OBJECT
public:
    enum class Needs { Database, SqlServerStandIn };
    explicit DatabaseTest(Needs needs = Needs::Database) : needs_(needs) {}

    // Why the suite cannot run here; empty where it can.
    static QString missing(Needs needs);

protected:
    // What the suite prepares once, where the server is there; may fail with QVERIFY.
    virtual void prepareDatabase() {}

private Q_SLOTS:
    void initTestCase();

private:
    Needs needs_;
};
