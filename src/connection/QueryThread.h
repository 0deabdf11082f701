#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class Connection;
class MonitorPort;
class Query;

// Whether the wait step that just ended makes a pass due: waitCounter steps of step milliseconds
// completed since the last pass (compared before it grows), the interval in seconds, and the
// worker's first-pass flag.
bool PassDue(int waitCounter, int step, int interval, bool runNow);

// The background worker of one monitor window: runs the window's script on a connection of its own
// at the window's interval and hands every result set over to the window's data set. It reaches the
// window only through its port, on the user-interface thread, inside a blocking call.
class TQueryThread : public QThread {
    Q_OBJECT
public:
    // Created on the user-interface thread. Copies the connection string and the script of the
    // port's data set and opens the worker's own connection here; throws when it cannot be opened.
    // The loop runs only after Start(). sleepInterval is the wait step in milliseconds.
    TQueryThread(MonitorPort& monitor, int sleepInterval);
    ~TQueryThread() override;

    void Start();
    // The loop has ended and the worker touches nothing any more.
    bool Ended() const { return ended_.load(std::memory_order_acquire); }
    // Asks the loop to end and waits for it, serving the worker's calls onto the user-interface
    // thread meanwhile: no new pass begins, and a pass that is running still hands its rows over.
    void Finish();

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

    PassResult Pass();
    // Sorting takes the longest part of a hand-over of many rows: done here, the window's data set
    // only takes the order over.
    void PresortForHandOver();
    void HandOver(bool reloaded);
    void GoOffline(const QString& message);
    void EndUpdates();

    // Runs f on the user-interface thread and waits for it; an error raised there comes back here.
    void Synchronize(const std::function<void()>& f);

    MonitorPort& Monitor;
    std::unique_ptr<Connection> WorkConnection;
    std::unique_ptr<Query> WorkQuery;
    std::atomic<bool> RunNow{false};
    std::atomic<bool> Stopped{false};
    const int step_;
    // The window's sort text as of the last hand-over; read and written only while the worker
    // waits for its calls onto the user-interface thread, or by the worker itself.
    QString sortText_;
    std::atomic<bool> ended_{false};
    // The call posted to ServeCall, owned by whoever takes it out.
    std::atomic<std::shared_ptr<PendingCall>*> pending_{nullptr};
};
