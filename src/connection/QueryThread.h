#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

// Whether the wait step that just ended makes a pass due: waitCounter steps of step milliseconds
// completed since the last pass (compared before it grows), the interval in seconds, and the
// worker's first-pass flag.
bool PassDue(int waitCounter, int step, int interval, bool runNow);

class Connection;
class Query;
class TFormMon;

// The background worker of one monitor window: runs the window's script on a connection of its own
// at the window's interval and hands every result set over to the window's data set on the
// user-interface thread. Everything it changes in the window happens there, inside a blocking call.
class TQueryThread : public QThread {
    Q_OBJECT
public:
    // Opens the worker's own connection on the calling thread; throws when it cannot be opened.
    // The loop runs only after Start().
    explicit TQueryThread(TFormMon* window);
    ~TQueryThread() override;

    void Start();
    // The loop has ended and the worker touches nothing any more.
    bool Ended() const { return ended_.load(std::memory_order_acquire); }

    // Written by the window: no new pass may begin (cleared before a termination request), and the
    // next pass reloads the script.
    std::atomic<bool> MayRun{true};
    std::atomic<bool> ScriptChanged{false};

protected:
    void run() override;

private:
    enum class PassResult { Done, End };

    PassResult Pass();
    // Sorting takes the longest part of a hand-over of many rows: done here, the window's data set
    // only takes the order over.
    void PresortForHandOver();
    void HandOver(bool reloaded);
    void EndUpdates();
    void GoOffline(const QString& message);
    int Interval() const;

    // Runs f on the user-interface thread and waits; an error raised there comes back here.
    template <typename F>
    void Synchronize(F&& f);

    TFormMon* Monitor;
    std::unique_ptr<Connection> WorkConnection;
    std::unique_ptr<Query> WorkQuery;
    std::atomic<bool> RunNow{false};
    std::atomic<bool> Stopped{false};
    int step_ = 200;
    // The window's sort text as of the last hand-over; read and written only while the worker
    // waits for its calls onto the user-interface thread, or by the worker itself.
    QString sortText_;
    std::atomic<bool> ended_{false};
};
