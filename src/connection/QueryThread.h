#pragma once

#include "connection/MonitorPort.h"
#include "connection/ScriptCost.h"
#include "data/history/HistoryFrame.h"
#include "data/history/RowIdentity.h"
#include "data/view/BlockingForest.h"

#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>

class Connection;
class CumulativeRates;
class Query;
class RecordSet;
class ResultTracker;
class RowRuleEngine;
class QTimer;

// How long the worker lets a pass run. A driver may wait for a silent server for ever, even past
// its own time-out (psqlODBC leaves the time-out to the server), so the worker keeps a deadline of
// its own: past the command time-out and a grace the statement is cancelled, and if the driver
// still does not return, the window goes Offline and the worker lets go of it.
struct PassDeadline {
    std::chrono::seconds commandTimeout{30};
    std::chrono::milliseconds grace{5000};
    std::chrono::milliseconds letGo{2000};
};

// Whether the wait step that just ended makes a pass due: waitCounter steps of step milliseconds
// completed since the last pass (compared before it grows), the interval in seconds, and the
// worker's first-pass flag.
bool PassDue(int waitCounter, int step, int interval, bool runNow);

// The background worker of one monitor window: runs the window's script on a connection of its own
// at the window's interval and hands every result set over to the window's data set. It reaches the
// window only through its port, on the user-interface thread, inside a blocking call. Its thread
// waits in an event loop of its own, woken by a timer at every wait step; a pass's deadline is a
// timer on the user-interface thread, which the driver cannot hold up.
class TQueryThread : public QThread {
    Q_OBJECT
public:
    // How the worker's own connection is opened: by default Connection::open().
    using Opener = std::function<void(Connection&)>;

    // Created on the user-interface thread. Copies the connection string and the script of the
    // port's data set and opens the worker's own connection here with open; throws when it cannot
    // be opened. The loop runs only after Start(). sleepInterval is the wait step in milliseconds.
    TQueryThread(MonitorPort& monitor, int sleepInterval, PassDeadline deadline = {}, const Opener& open = {});
    ~TQueryThread() override;

    void Start();
    // The loop has ended and the worker touches nothing any more.
    bool Ended() const { return ended_.load(std::memory_order_acquire); }
    // Asks the loop to end: no new pass begins and a running statement is cancelled. Waits up to
    // grace for the end, painting and serving every window meanwhile (the operator's input waits).
    // False when the driver has not returned by then.
    bool Finish(std::chrono::milliseconds grace);
    // From now on the worker touches nothing of its window: it ends at its next step, or when the
    // driver returns. On the user-interface thread.
    void Detach();
    // The object deletes itself once its loop has ended; the caller gives up its ownership.
    void ReleaseWhenFinished();

    // The window's sort text has changed: the worker sorts the rows of its next hand-over so. On the
    // user-interface thread.
    void FollowSort(const QString& text);

    // The server's number of the worker's own session, once its first pass has asked; 0 before
    // that and where the server cannot tell. From any thread.
    qint64 SessionId() const { return sessionId_.load(std::memory_order_acquire); }

    // Written by the window: no new pass may begin (cleared before a termination request), and the
    // next pass reloads the script.
    std::atomic<bool> MayRun{true};
    std::atomic<bool> ScriptChanged{false};

protected:
    void run() override;

private Q_SLOTS:
    // Runs the call the worker waits for, on the user-interface thread.
    void ServeCall();

private:
    enum class PassResult { Done, End };
    struct PendingCall;

    // One wait step has passed: a pass if it is due. On the worker thread.
    void Step(QTimer& stepTimer);
    PassResult Pass();
    // Compares the refresh with the one before, marks it, records it and keeps its frame for the
    // hand-over; the rows go into the worker's data set.
    void Track(std::unique_ptr<RecordSet> records, qint64 fetchedAt);
    // Sorting takes the longest part of a hand-over of many rows: done here, the window's data set
    // only takes the order over.
    void PresortForHandOver();
    void HandOver(bool reloaded);
    void GoOffline(const QString& message);
    void EndUpdates();

    // The deadline of the pass that began at started, set on the user-interface thread.
    void ArmPassDeadline(qint64 started);
    // The running pass's deadline has come, on the user-interface thread: cancel it, or, when the
    // driver has not returned from the cancel either, go Offline and let the worker go.
    void PassOverdue();

    // Runs f on the user-interface thread and waits for it; an error raised there comes back here,
    // and a worker detached from its window gets an error instead.
    void Synchronize(const std::function<void()>& f);
    // The window's interval, read on the worker thread; throws once the worker is detached.
    int Interval();
    bool IsDetached() const;

    MonitorPort& Monitor;
    std::unique_ptr<Connection> WorkConnection;
    std::unique_ptr<Query> WorkQuery;
    // The rates of the script's cumulative columns, made when the script is loaded: a new script
    // starts them over. Whether its problems were told since.
    std::unique_ptr<CumulativeRates> Rates;
    bool ratesToldOf_ = false;
    // History, marking and recording of the script's refreshes, made with the rates.
    std::unique_ptr<ResultTracker> Tracker;
    // The script's row rules, made with the rates; what they met, kept for the hand-over.
    std::unique_ptr<RowRuleEngine> Rules;
    QList<RuleEvent> ruleEvents_;
    QStringList ruleProblems_;
    // As the window asked at the last hand-over; the recorder the last pass wrote to.
    Tracking tracking_;
    std::shared_ptr<RecordingWriter> recorderUsed_;
    // The refresh's frame and what the recorder reported, kept for the hand-over.
    HistoryFrame frame_;
    QString recordingError_;
    // The script's key columns; the operator's row as the last hand-over left it, and where the
    // worker found it in the rows it fetched since.
    QStringList keyColumns_;
    RowIdentity keepRow_;
    Bookmark keepFound_;
    // What the marking of the refresh met: key columns the result lacks, rows with a repeated key.
    QStringList missingKeys_;
    int repeatedKeys_ = 0;
    bool marksToldOf_ = false;
    // What the script's runs cost, and the interval the worker keeps for them.
    ScriptCost cost_;
    // The operator's interval as the last wait step read it.
    int setting_ = 0;
    // Who blocks whom in the refresh, built here: for many rows it would hold up the hand-over.
    BlockingColumns blockingColumns_;
    std::shared_ptr<const BlockingForest> blocking_;
    // The worker's own, and read by the hand-over while the worker waits for it.
    bool RunNow = false;
    bool Stopped = false;
    int waitCounter_ = 0;
    // What ended the loop from inside a step, thrown again once the loop has ended.
    std::exception_ptr loopError_;
    const int step_;
    // The window's sort text as of the last hand-over or the last change the window told of; read and
    // written only while the worker waits for its calls onto the user-interface thread, or by the
    // worker itself.
    QString sortText_;
    // A sort text the window has told of since, owned by whoever takes it out.
    std::atomic<QString*> sortUpdate_{nullptr};
    std::atomic<bool> ended_{false};
    std::atomic<qint64> sessionId_{0};
    bool sessionAsked_ = false;
    // The call posted to ServeCall, owned by whoever takes it out.
    std::atomic<std::shared_ptr<PendingCall>*> pending_{nullptr};
    // The reads of the interval under way on the worker thread, and the Detached bit that the
    // user-interface thread sets: Detach() waits out a read that began before it.
    std::atomic<unsigned> port_{0};
    // Milliseconds of the steady clock when the running pass began its statement; 0 between passes.
    std::atomic<qint64> passStarted_{0};
    const PassDeadline deadline_;
    // The pass the deadline has cancelled, by its start; user-interface thread only.
    qint64 cancelledPass_ = 0;
    // Single shot, on the user-interface thread: the running pass's next deadline.
    QTimer* passDeadline_;
};
