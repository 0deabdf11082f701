#include "connection/QueryThread.h"

#include "app/Texts.h"
#include "connection/MonitorPort.h"
#include "data/Bookmark.h"
#include "data/Connection.h"
#include "data/DataErrors.h"
#include "data/Query.h"
#include "platform/LineFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <exception>
#include <memory>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcWorker, "quillon.worker")

// A wait step below this would make the loop spin; the settings file keeps what it holds.
constexpr int MinimumStep = 10;

} // namespace

bool PassDue(int waitCounter, int step, int interval, bool runNow)
{
    // After a pass the next one comes after ceil(interval * 1000 / step) + 1 steps.
    return runNow || static_cast<qint64>(waitCounter) * step >= static_cast<qint64>(interval) * 1000;
}

TQueryThread::TQueryThread(MonitorPort& monitor, int sleepInterval)
    : Monitor(monitor)
    , WorkConnection(std::make_unique<Connection>())
    , WorkQuery(std::make_unique<Query>())
    , step_(std::max(sleepInterval, MinimumStep))
{
    const Query& windowQuery = monitor.DataSet();
    WorkConnection->setConnectionString(windowQuery.connection()->connectionString());
    WorkConnection->open();
    WorkQuery->setConnection(WorkConnection.get());
    WorkQuery->setSql(windowQuery.sql());
    WorkQuery->setDecimalsAsFloat(windowQuery.decimalsAsFloat());
    sortText_ = windowQuery.sort();
}

TQueryThread::~TQueryThread()
{
    wait();
    // Pairs with the store at the end of the loop; the wait alone orders nothing a race
    // detector can see.
    Ended();
    delete pending_.exchange(nullptr);
}

void TQueryThread::Start()
{
    start(QThread::LowestPriority);
}

void TQueryThread::Finish()
{
    if (Ended())
        return;
    MayRun = false;
    requestInterruption();
    // The worker may be waiting for a call onto this thread, a hand-over say: serve it while waiting.
    while (!Ended()) {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        wait(QDeadlineTimer(5));
    }
}

struct TQueryThread::PendingCall {
    std::function<void()> work;
    std::exception_ptr error;
    std::atomic<bool> done{false};
};

void TQueryThread::Synchronize(const std::function<void()>& f)
{
    // A queued call to this object, which lives on the user-interface thread, and a wait on an
    // atomic flag rather than a blocking queued connection: the call is handed over through an
    // atomic, so ThreadSanitizer sees its setup ordered before it runs (Qt's own locks are invisible
    // to it), and Finish() can serve the call while it waits. The call is shared so that neither
    // side can outlive it.
    auto call = std::make_shared<PendingCall>();
    call->work = f;
    pending_.store(new std::shared_ptr<PendingCall>(call), std::memory_order_release);
    QMetaObject::invokeMethod(this, "ServeCall", Qt::QueuedConnection);
    call->done.wait(false, std::memory_order_acquire);
    if (call->error)
        std::rethrow_exception(call->error);
}

void TQueryThread::ServeCall()
{
    const std::unique_ptr<std::shared_ptr<PendingCall>> taken(pending_.exchange(nullptr, std::memory_order_acq_rel));
    if (!taken)
        return;
    PendingCall& call = **taken;
    try {
        call.work();
    } catch (...) {
        call.error = std::current_exception();
    }
    call.done.store(true, std::memory_order_release);
    call.done.notify_one();
}

void TQueryThread::run()
{
    try {
        RunNow = true;
        int waitCounter = 0;
        for (;;) {
            if (isInterruptionRequested() || Stopped)
                break;
            msleep(static_cast<unsigned long>(step_));
            if (!PassDue(waitCounter, step_, Monitor.Interval(), RunNow)) {
                ++waitCounter;
                continue;
            }
            if (Pass() == PassResult::End)
                break;
            waitCounter = 0;
            RunNow = false;
            if (Monitor.Interval() <= 0)
                Stopped = true;
        }
        if (Stopped || Monitor.Interval() <= 0)
            EndUpdates();
    } catch (const std::exception& error) {
        // A reload that cannot be read, a catalogue position gone or a failed hand-over end the
        // worker at once, without a message in the window.
        qCWarning(lcWorker) << "worker ended:" << QString::fromUtf8(error.what());
    } catch (...) {
        qCWarning(lcWorker) << "worker ended on an unknown error";
    }
    WorkQuery.reset();
    WorkConnection.reset();
    ended_.store(true, std::memory_order_release);
}

TQueryThread::PassResult TQueryThread::Pass()
{
    if (!MayRun)
        return PassResult::Done;
    MayRun = false;
    // Each pass fetches into a fresh data set, so that no sort of an earlier pass applies to it.
    auto fresh = std::make_unique<Query>();
    fresh->setConnection(WorkConnection.get());
    fresh->setSql(WorkQuery->sql());
    fresh->setDecimalsAsFloat(WorkQuery->decimalsAsFloat());
    WorkQuery = std::move(fresh);

    const bool reloaded = ScriptChanged;
    if (reloaded) {
        QString file;
        // The catalogue and the script box belong to the user-interface thread.
        Synchronize([&] { file = Monitor.SelectedScriptFile(); });
        const QStringList lines = ReadLines(file);
        WorkQuery->setSql(lines);
        if (lines.isEmpty()) {
            Synchronize([&] {
                Monitor.SetMessage(QLatin1Char(' ') + TimeStamp() + Texts::OfflineScriptLoad);
                Monitor.SetIndicator(Indicator::Red);
            });
            return PassResult::End;
        }
    }

    try {
        WorkQuery->open();
        Stopped = false;
    } catch (const QuillonError& error) {
        qCInfo(lcWorker) << "run failed, the window goes offline:" << error.message();
        MayRun = false;
        GoOffline(QLatin1Char(' ') + TimeStamp() + Texts::OfflineRun);
        Stopped = true;
        WorkConnection->close();
        return PassResult::End;
    }

    PresortForHandOver();
    Synchronize([&] { HandOver(reloaded); });
    MayRun = true;
    return PassResult::Done;
}

void TQueryThread::PresortForHandOver()
{
    if (sortText_.isEmpty())
        return;
    try {
        WorkQuery->setSort(sortText_);
    } catch (const QuillonError&) {
        // The window's sort does not fit these rows; the hand-over meets that itself.
    }
}

void TQueryThread::GoOffline(const QString& message)
{
    Synchronize([&] {
        Monitor.SwitchFilterOff();
        Monitor.SetMessage(message);
    });
}

void TQueryThread::HandOver(bool reloaded)
{
    if (Stopped)
        return;
    Query& query = Monitor.DataSet();
    const bool wasActive = query.active();
    const Bookmark bookmark = wasActive && query.recordCount() > 0 ? query.bookmark() : Bookmark{};
    std::vector<int> tags;
    if (wasActive) {
        for (int i = 0; i < query.fieldCount(); ++i)
            tags.push_back(query.fieldTag(i));
    }
    const bool wasSorted = !query.sort().isEmpty();
    const bool wasFiltered = query.filtered();

    // The data set keeps its sort text and filter and applies them to the rows it takes over. One
    // that the new result cannot take (a script without the sorted column) is dropped there, and
    // the refresh goes on without it rather than ending the worker.
    try {
        query.adopt(*WorkQuery);
    } catch (const DataError& error) {
        qCInfo(lcWorker) << "the new result drops the window's sort or filter:" << error.message();
    }
    const bool sortDropped = wasSorted && query.sort().isEmpty();
    if (sortDropped) {
        Monitor.DropSort();
    } else if (static_cast<int>(tags.size()) == query.fieldCount()) {
        for (int i = 0; i < query.fieldCount(); ++i)
            query.setFieldTag(i, tags[static_cast<std::size_t>(i)]);
    }
    if (wasFiltered && !query.filtered())
        Monitor.SwitchFilterOff();

    if (reloaded) {
        ScriptChanged = false;
    } else if (bookmark.valid()) {
        try {
            query.gotoBookmark(bookmark);
        } catch (const QuillonError&) {
            // The row is gone: the data set stays on its first row.
        }
    }
    Monitor.CountRefresh();
    Monitor.ShowPosition();
    // The next pass sorts its rows in the window's order before handing them over.
    sortText_ = query.sort();
}

void TQueryThread::EndUpdates()
{
    Synchronize([&] {
        Monitor.SetWorking(false);
        Monitor.ResetCounter();
        Monitor.SetIndicator(Indicator::Red);
    });
}
