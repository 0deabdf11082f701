#include "app/RunAside.h"

#include "app/Guarded.h"
#include "app/WaitBox.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <exception>
#include <thread>

namespace {

// How often the wait looks at the work, the clock and the box.
constexpr int TickMilliseconds = 20;

std::atomic<int> going{0};

// Shared by the waiting side and the thread, so that either may outlive the other.
struct AsideWork {
    std::function<void()> work;
    std::exception_ptr error;
    std::atomic<bool> done{false};
};

} // namespace

AsideEnd WaitAside(const std::function<bool()>& ended, const AsideWait& wait)
{
    using std::chrono::milliseconds;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    std::unique_ptr<WaitBox> box;
    bool boxDue = false;
    bool cancelled = false;
    bool timedOut = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const milliseconds elapsed(clock.elapsed());
        if (ended()) {
            loop.quit();
        } else if (elapsed >= wait.deadline) {
            timedOut = true;
            loop.quit();
        } else if (box) {
            box->ShowElapsed(elapsed);
        } else if (wait.box && elapsed >= wait.boxDelay) {
            boxDue = true;
            loop.quit();
        }
    });
    tick.start(TickMilliseconds);
    // Until the box shows, the operator's input waits; then the modal box keeps it to itself.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (boxDue && !ended()) {
        box = wait.box();
        ConnectGuarded(box.get(), &WaitBox::cancelRequested, &loop, [&] {
            if (ended())
                return;
            cancelled = true;
            if (wait.cancel)
                wait.cancel();
            if (wait.cancelEndsWait)
                loop.quit();
        });
        box->ShowElapsed(milliseconds(clock.elapsed()));
        box->show();
        loop.exec();
        box->hide();
    }
    if (cancelled)
        return AsideEnd::Cancelled;
    if (timedOut) {
        if (wait.cancel)
            wait.cancel();
        return AsideEnd::TimedOut;
    }
    return AsideEnd::Done;
}

AsideEnd RunAside(std::function<void()> work, const AsideWait& wait)
{
    auto shared = std::make_shared<AsideWork>();
    shared->work = std::move(work);
    ++going;
    // The thread holds the work: if nobody waits for it any more, it frees it when the work returns.
    std::thread([shared] {
        try {
            shared->work();
        } catch (...) {
            shared->error = std::current_exception();
        }
        shared->done.store(true, std::memory_order_release);
        --going;
    }).detach();
    const AsideEnd end = WaitAside([&shared] { return shared->done.load(std::memory_order_acquire); }, wait);
    if (end == AsideEnd::Done && shared->error)
        std::rethrow_exception(shared->error);
    return end;
}

int AsideWorksGoing()
{
    return going.load();
}
