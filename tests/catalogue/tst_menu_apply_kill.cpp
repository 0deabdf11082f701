#include "FileBytes.h"
#include "ProgramFolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>
#include <thread>

// The item editor's apply, in a child process killed at random moments of it: the menu file holds
// the command menu from before the apply or the one after it, never a mix of the two.
class TestMenuApplyKill : public QObject {
    Q_OBJECT

    static constexpr int Commands = 40;
    static constexpr int KillsPerChange = 170;

    ProgramFolder folder_;
    QByteArray before_;

    QString file(const QString& relative) const { return folder_.file(relative); }

    // The program folder as it is before every apply: the menu, and the script file of each command.
    void restore()
    {
        PutBytes(file(QStringLiteral("Config/Menus.ini")), before_);
        for (int k = 0; k < Commands; ++k)
            PutBytes(file(QStringLiteral("Scripts/cmd%1.sql").arg(k)), "select 1\r\n");
        QFile::remove(file(QStringLiteral("Scripts/new.sql")));
    }

    // Children started ahead, each waiting for its signal to apply: a child's start takes longer
    // than the apply, and the next ones start while one is applying.
    class Children {
    public:
        Children(QString folder, QString change) : folder_(std::move(folder)), change_(std::move(change))
        {
            while (waiting_.size() < Ahead)
                startOne();
        }
        ~Children()
        {
            for (const auto& child : waiting_) {
                child->kill();
                child->waitForFinished(20000);
            }
        }

        // The next child once it is ready, told to apply; null when it could not start.
        std::unique_ptr<QProcess> apply()
        {
            std::unique_ptr<QProcess> child = std::move(waiting_.front());
            waiting_.pop_front();
            startOne();
            while (!child->canReadLine()) {
                if (!child->waitForReadyRead(60000))
                    return nullptr;
            }
            if (child->readLine() != "ready\n")
                return nullptr;
            child->write("go\n");
            child->waitForBytesWritten(20000);
            return child;
        }

    private:
        static constexpr std::size_t Ahead = 3;

        void startOne()
        {
            auto child = std::make_unique<QProcess>();
            child->setProgram(QStringLiteral(MENU_APPLY_CHILD));
            child->setArguments({folder_, change_});
            child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child->start();
            waiting_.push_back(std::move(child));
        }

        QString folder_;
        QString change_;
        std::deque<std::unique_ptr<QProcess>> waiting_;
    };

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir(folder_.path()).mkpath(QStringLiteral("Scripts")));
        folder_.write(QStringLiteral("Config/Sensors.ini"), "Processes;WHO;Scripts/who.sql\r\n");
        // A large file, the section amid others, its keys stored in another order than its items
        // sort in, so that a write of the sorted list changes every key.
        const auto padding = [](int first, int last) {
            QByteArray text;
            for (int section = first; section < last; ++section) {
                text += "[S" + QByteArray::number(section) + "]\r\n";
                for (int k = 0; k < 40; ++k)
                    text += QByteArray::number(k) + "=Command of another script " + QByteArray::number(k)
                            + ";X;Scripts\\x.sql;spid;1\r\n";
            }
            return text;
        };
        before_ = padding(0, 20) + "[WHO]\r\n";
        for (int k = 0; k < Commands; ++k)
            before_ += QByteArray::number(k) + "=Command " + QByteArray::number(Commands - 1 - k).rightJustified(2, '0')
                       + ";C" + QByteArray::number(k) + ";Scripts\\cmd" + QByteArray::number(k) + ".sql;spid;1\r\n";
        before_ += padding(20, 40);
    }

    void killedApplyLeavesOldOrNewMenu_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("add") << QStringLiteral("add");
        QTest::newRow("edit") << QStringLiteral("edit");
        QTest::newRow("delete") << QStringLiteral("delete");
    }
    void killedApplyLeavesOldOrNewMenu()
    {
        QFETCH(QString, change);
        const QString menuFile = file(QStringLiteral("Config/Menus.ini"));

        Children children(folder_.path(), change);
        // Applies left to finish give the menu after the change and how long an apply takes.
        QByteArray after;
        std::vector<qint64> lengths;
        for (int run = 0; run < 3; ++run) {
            restore();
            const std::unique_ptr<QProcess> child = children.apply();
            QVERIFY(child);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(child->waitForFinished(60000));
            lengths.push_back(clock.nsecsElapsed() / 1000);
            QCOMPARE(child->exitCode(), 0);
            after = GetBytes(menuFile);
        }
        QVERIFY(after != before_);
        std::sort(lengths.begin(), lengths.end());
        const qint64 applyMicroseconds = lengths[1];

        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        int old = 0;
        int changed = 0;
        for (int kill = 0; kill < KillsPerChange; ++kill) {
            restore();
            const std::unique_ptr<QProcess> child = children.apply();
            QVERIFY(child);
            // Somewhat past the apply's length, so that some kills come after its end.
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(applyMicroseconds * 5 / 4)));
            child->kill();
            QVERIFY(child->waitForFinished(20000));
            const QByteArray left = GetBytes(menuFile);
            if (left == before_)
                ++old;
            else if (left == after)
                ++changed;
            else
                QFAIL(qPrintable(QStringLiteral("kill %1 (seed %2) left a menu file that is neither the old nor the new one")
                                     .arg(kill)
                                     .arg(seed)));
        }
        qInfo("%s: apply %lld us, %d kills left the old menu, %d the new one", qPrintable(change), applyMicroseconds,
              old, changed);
        // Kills on both sides of the replacement: the apply was really interrupted, not just before it began.
        QVERIFY(old > 0);
        QVERIFY(changed > 0);
    }
};

QTEST_GUILESS_MAIN(TestMenuApplyKill)
#include "tst_menu_apply_kill.moc"
