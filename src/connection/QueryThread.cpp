#include "connection/QueryThread.h"

#include "app/RunAside.h"
#include "app/Texts.h"
#include "connection/MonitorPort.h"
#include "connection/RateMessage.h"
#include "data/view/Bookmark.h"
#include "data/connection/Connection.h"
#include "data/connection/SessionId.h"
#include "data/DataErrors.h"
#include "data/history/CumulativeRates.h"
#include "data/history/RecordingFile.h"
#include "data/history/ResultTracker.h"
#include "data/history/RowRuleEngine.h"
#include "data/records/RecordSet.h"
#include "data/Query.h"
#include "platform/LineFile.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QTimer>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcWorker, "quillon.worker")

// A wait step below this would make the loop spin; the settings file keeps what it holds.
constexpr int MinimumStep = 10;

// What a worker meets once its window has let it go: it ends without touching the window.
class Detached : public std::exception {
public:
    const char* what() const noexcept override { return "the window has let the worker go"; }
};

// The bit of TQueryThread's port_ that tells the worker is detached; the rest counts reads.
constexpr unsigned DetachedBit = 1U << 31;

qint64 SteadyMilliseconds()
{
    using namespace std::chrono;
    // Never 0, which means "no pass running".
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

} // namespace

bool PassDue(int waitCounter, int step, int interval, bool runNow)
{
    // After a pass the next one comes after ceil(interval * 1000 / step) + 1 steps.
    return runNow || static_cast<qint64>(waitCounter) * step >= static_cast<qint64>(interval) * 1000;
}

TQueryThread::TQueryThread(MonitorPort& monitor, int sleepInterval, PassDeadline deadline, const Opener& open)
    : Monitor(monitor)
    , WorkConnection(std::make_unique<Connection>())
    , WorkQuery(std::make_unique<Query>())
    , step_(std::max(sleepInterval, MinimumStep))
    , deadline_(deadline)
    , passDeadline_(new QTimer(this))
{
    passDeadline_->setSingleShot(true);
    connect(passDeadline_, &QTimer::timeout, this, &TQueryThread::PassOverdue);
    const Query& windowQuery = monitor.DataSet();
    WorkConnection->setConnectionString(windowQuery.connection()->connectionString());
    WorkConnection->setCommandTimeout(static_cast<int>(deadline.commandTimeout.count()));
    if (open)
        open(*WorkConnection);
    else
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
    delete sortUpdate_.exchange(nullptr);
}

void TQueryThread::FollowSort(const QString& text)
{
    delete sortUpdate_.exchange(new QString(text), std::memory_order_acq_rel);
}

void TQueryThread::Start()
{
    start(QThread::LowestPriority);
}

bool TQueryThread::Finish(std::chrono::milliseconds grace)
{
    // A worker its deadline has let go was cancelled already and waits for its driver alone.
    if (Ended() || IsDetached())
        return Ended();
    MayRun = false;
    requestInterruption();
    WorkConnection->cancel();
    // The worker may be waiting for a call onto this thread, a hand-over say; other windows go on
    // refreshing and everything paints. The operator's input waits until the stop is done.
    AsideWait wait;
    wait.deadline = grace;
    WaitAside([this] { return Ended(); }, wait);
    return Ended();
}

void TQueryThread::Detach()
{
    MayRun = false;
    requestInterruption();
    passDeadline_->stop();
    // A read of the interval that began before the bit was set ends before the window may go.
    port_.fetch_or(DetachedBit);
    while ((port_.load() & ~DetachedBit) != 0)
        std::this_thread::yield();
}

bool TQueryThread::IsDetached() const
{
    return (port_.load() & DetachedBit) != 0;
}

void TQueryThread::ReleaseWhenFinished()
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    // Ended before the connection was made: the finished signal may have gone already.
    if (Ended())
        deleteLater();
}

int TQueryThread::Interval()
{
    if ((port_.fetch_add(1) & DetachedBit) != 0) {
        port_.fetch_sub(1);
        throw Detached();
    }
    const int interval = Monitor.Interval();
    port_.fetch_sub(1);
    return interval;
}

void TQueryThread::ArmPassDeadline(qint64 started)
{
    // The pass may have ended before this call came through.
    if (passStarted_.load() != started || IsDetached())
        return;
    const qint64 limit = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_.commandTimeout).count()
        + deadline_.grace.count();
    passDeadline_->start(static_cast<int>(std::max<qint64>(started + limit - SteadyMilliseconds(), 0)));
}

void TQueryThread::PassOverdue()
{
    const qint64 started = passStarted_.load();
    if (started == 0 || isInterruptionRequested() || Ended())
        return;
    const qint64 running = SteadyMilliseconds() - started;
    const qint64 limit = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_.commandTimeout).count()
        + deadline_.grace.count();
    if (running < limit) {
        // Armed for an earlier pass.
        ArmPassDeadline(started);
        return;
    }
    if (cancelledPass_ != started) {
        cancelledPass_ = started;
        qCWarning(lcWorker) << "pass overdue after" << running << "ms: cancelling it";
        WorkConnection->cancel();
    }
    if (running < limit + deadline_.letGo.count()) {
        passDeadline_->start(static_cast<int>(limit + deadline_.letGo.count() - running));
        return;
    }
    // The driver does not return even from the cancel (a server gone silent): the window goes
    // Offline now, and the worker lets go of it, to end when the driver returns.
    qCWarning(lcWorker) << "the driver has not returned from the cancel: letting the worker go";
    Monitor.SwitchFilterOff();
    Monitor.SetMessage(QLatin1Char(' ') + TimeStamp() + Texts::OfflineRun);
    Monitor.ShowRowsOffline();
    Monitor.SetWorking(false);
    Monitor.ResetCounter();
    Monitor.SetIndicator(Indicator::Red);
    Detach();
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
        if (IsDetached())
            throw Detached();
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
        waitCounter_ = 0;
        {
            // A request to end is met at the next step: this thread's event loop is woken by its
            // own timer alone.
            QTimer stepTimer;
            stepTimer.setTimerType(Qt::PreciseTimer);
            stepTimer.setInterval(step_);
            connect(&stepTimer, &QTimer::timeout, &stepTimer, [this, &stepTimer] { Step(stepTimer); });
            stepTimer.start();
            exec();
        }
        if (loopError_)
            std::rethrow_exception(loopError_);
        if (!IsDetached() && (Stopped || Interval() <= 0))
            EndUpdates();
    } catch (const Detached&) {
        qCInfo(lcWorker) << "worker ended after its window let it go";
    } catch (const std::exception& error) {
        // A reload that cannot be read, a catalogue position gone or a failed hand-over end the
        // worker at once, without a message in the window.
        qCWarning(lcWorker) << "worker ended:" << QString::fromUtf8(error.what());
    } catch (...) {
        qCWarning(lcWorker) << "worker ended on an unknown error";
    }
    WorkQuery.reset();
    // The connection object stays until the worker is destroyed: the window may be cancelling on it.
    WorkConnection->close();
    passStarted_ = 0;
    ended_.store(true, std::memory_order_release);
}

void TQueryThread::Step(QTimer& stepTimer)
{
    try {
        if (isInterruptionRequested()) {
            exit();
            return;
        }
        setting_ = Interval();
        if (!PassDue(waitCounter_, step_, cost_.interval(setting_), RunNow)) {
            ++waitCounter_;
            return;
        }
        if (Pass() == PassResult::End) {
            exit();
            return;
        }
        waitCounter_ = 0;
        RunNow = false;
        if (Interval() <= 0)
            Stopped = true;
        if (isInterruptionRequested() || Stopped) {
            exit();
            return;
        }
        // The next step is a whole step after the pass, however long the pass took.
        stepTimer.start();
    } catch (...) {
        // No error may cross the event loop: the loop ends and run() meets it.
        loopError_ = std::current_exception();
        exit();
    }
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
    if (reloaded || !Rates) {
        QString file;
        ScriptOptions options;
        // The catalogue and the script box belong to the user-interface thread. The options come
        // with the script, the first one included, and the rates start over with them.
        Synchronize([&] {
            if (reloaded)
                file = Monitor.SelectedScriptFile();
            options = Monitor.SelectedScriptOptions();
            Monitor.ScriptStarts(options);
            tracking_ = Monitor.TrackingWanted();
        });
        Rates = std::make_unique<CumulativeRates>(options.keyColumns, options.cumulativeColumns);
        Tracker = std::make_unique<ResultTracker>(options.keyColumns);
        Rules = std::make_unique<RowRuleEngine>(options.rules, options.keyColumns);
        ruleProblems_.clear();
        keyColumns_ = options.keyColumns;
        blockingColumns_ = {options.keyColumns.value(0), options.blockedByColumn, options.waitColumn};
        keepRow_ = {};
        ratesToldOf_ = false;
        marksToldOf_ = false;
        if (reloaded) {
            const QStringList lines = ReadLines(file);
            WorkQuery->setSql(lines);
            if (lines.isEmpty()) {
                Synchronize([&] {
                    Monitor.SetMessage(QLatin1Char(' ') + TimeStamp() + Texts::OfflineScriptLoad);
                    Monitor.ShowRowsOffline();
                    Monitor.SetIndicator(Indicator::Red);
                });
                return PassResult::End;
            }
        }
    }

    const qint64 started = SteadyMilliseconds();
    const qint64 fetchedAt = QDateTime::currentMSecsSinceEpoch();
    passStarted_ = started;
    QMetaObject::invokeMethod(this, [this, started] { ArmPassDeadline(started); }, Qt::QueuedConnection);
    try {
        if (!sessionAsked_) {
            // The window refuses a command aimed at the worker's own session.
            sessionAsked_ = true;
            sessionId_.store(OwnSessionId(*WorkConnection), std::memory_order_release);
        }
        std::unique_ptr<RecordSet> records = WorkQuery->fetch();
        // Under the pass's deadline still: the server may go silent during the probe as well.
        cost_.ran(SteadyMilliseconds() - started, setting_, *WorkConnection, WorkQuery->sql());
        passStarted_ = 0;
        if (Rates->active())
            records = Rates->apply(std::move(records), started);
        Track(std::move(records), fetchedAt);
        Stopped = false;
    } catch (const QuillonError& error) {
        passStarted_ = 0;
        if (isInterruptionRequested() || IsDetached()) {
            // Cancelled by Stop or closing, or given up by the window: not a failure to show.
            qCInfo(lcWorker) << "run cancelled:" << error.message();
            return PassResult::End;
        }
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

void TQueryThread::Track(std::unique_ptr<RecordSet> records, qint64 fetchedAt)
{
    // A recording begins with a whole result: its first frame is a keyframe.
    const bool newRecorder = tracking_.recorder && tracking_.recorder != recorderUsed_;
    RowRuleEngine::Outcome rules = Rules->active() ? Rules->apply(*records, fetchedAt) : RowRuleEngine::Outcome{};
    ResultTracker::Refresh refresh =
        Tracker->track(std::move(records), fetchedAt, tracking_.baseline.get(), newRecorder, tracking_.mark);
    recorderUsed_ = tracking_.recorder;
    if (recorderUsed_) {
        try {
            recorderUsed_->write(refresh.frame);
        } catch (const QuillonError& error) {
            qCWarning(lcWorker) << "recording stopped:" << error.message();
            recordingError_ = error.message();
            tracking_.recorder.reset();
        }
    }
    missingKeys_ = refresh.missingKeyColumns;
    repeatedKeys_ = refresh.marks.repeatedKeys;
    // Looked for here, not in the hand-over: a search of many rows would hold up the window.
    keepFound_ = keyColumns_.isEmpty() ? Bookmark{} : FindRow(*refresh.records, keepRow_, keyColumns_);
    blocking_ = BuildBlockingForest(*refresh.records, refresh.marks, blockingColumns_);
    refresh.marks.looks = std::move(rules.looks);
    ruleEvents_.append(rules.events);
    ruleProblems_.append(rules.problems);
    WorkQuery->setRecords(std::move(refresh.records), std::move(refresh.marks));
    frame_ = std::move(refresh.frame);
}

void TQueryThread::PresortForHandOver()
{
    // A sort the operator chooses while the rows are being sorted has them sorted again, so that
    // the hand-over finds them in the window's order whenever it can.
    for (;;) {
        if (const std::unique_ptr<QString> update{sortUpdate_.exchange(nullptr, std::memory_order_acq_rel)})
            sortText_ = *update;
        if (sortText_.isEmpty() || sortText_ == WorkQuery->sort())
            return;
        try {
            WorkQuery->setSort(sortText_);
        } catch (const QuillonError&) {
            // The window's sort does not fit these rows; the hand-over meets that itself.
            return;
        }
    }
}

void TQueryThread::GoOffline(const QString& message)
{
    Synchronize([&] {
        Monitor.SwitchFilterOff();
        Monitor.SetMessage(message);
        Monitor.ShowRowsOffline();
    });
}

void TQueryThread::HandOver(bool reloaded)
{
    if (Stopped)
        return;
    Monitor.ShowCost(cost_.last());
    if (const QString news = cost_.takeNews(); !news.isEmpty())
        Monitor.SetMessage(QLatin1Char(' ') + TimeStamp() + news);
    if (!recordingError_.isEmpty()) {
        Monitor.RecordingFailed(recordingError_);
        recordingError_.clear();
    }
    // Told whether or not the operator looks at the live rows.
    if (!ruleEvents_.isEmpty())
        Monitor.RulesStarted(std::exchange(ruleEvents_, {}));
    const bool live = Monitor.KeepRefresh(std::move(frame_));
    frame_ = {};
    tracking_ = Monitor.TrackingWanted();
    if (!live) {
        // The operator looks at an earlier refresh: this one waits in the history.
        if (reloaded)
            ScriptChanged = false;
        Monitor.CountRefresh();
        keepRow_ = CurrentRowIdentity(Monitor.DataSet(), keyColumns_);
        return;
    }
    Query& query = Monitor.DataSet();
    const bool wasActive = query.active();
    Bookmark bookmark = wasActive && query.recordCount() > 0 ? query.bookmark() : Bookmark{};
    // A script with key columns keeps the operator's row by its key, where the row stands in the
    // new result. The worker has looked for it already, unless the operator has moved since: then
    // it is looked for here, once.
    if (!keyColumns_.isEmpty() && wasActive && WorkQuery->records()) {
        const RowIdentity current = CurrentRowIdentity(query, keyColumns_);
        bookmark = current == keepRow_ ? keepFound_ : FindRow(*WorkQuery->records(), current, keyColumns_);
    }
    std::vector<int> tags;
    if (wasActive) {
        for (int i = 0; i < query.fieldCount(); ++i)
            tags.push_back(query.fieldTag(i));
    }
    const bool wasSorted = !query.sort().isEmpty();
    const bool wasFiltered = query.filtered();

    // The tree takes its forest of these rows as they arrive.
    Monitor.BlockingBuilt(std::move(blocking_));

    // The data set keeps its sort text and filter and applies them to the rows it takes over. One
    // that the new result cannot take (a script without the sorted column) is dropped there, and
    // the refresh goes on without it rather than ending the worker.
    // The operator's row stays current unless the script was reloaded; when it is gone the data
    // set stays on its first row.
    try {
        query.adopt(*WorkQuery, reloaded ? Bookmark{} : bookmark);
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
    // Once per script: the same problems would otherwise come back at every refresh.
    if (!ratesToldOf_ && Rates->problems().any()) {
        ratesToldOf_ = true;
        Monitor.SetMessage(QLatin1Char(' ') + TimeStamp() + RateProblemsMessage(Rates->problems()));
    } else if (!marksToldOf_ && tracking_.mark && (!missingKeys_.isEmpty() || repeatedKeys_ > 0)) {
        marksToldOf_ = true;
        Monitor.SetMessage(QLatin1Char(' ') + TimeStamp() + MarkProblemsMessage(missingKeys_, repeatedKeys_));
    } else if (!ruleProblems_.isEmpty()) {
        Monitor.SetMessage(QLatin1Char(' ') + TimeStamp() + ruleProblems_.join(QStringLiteral("; ")));
        ruleProblems_.clear();
    }

    if (reloaded)
        ScriptChanged = false;
    Monitor.CountRefresh();
    Monitor.ShowPosition();
    keepRow_ = CurrentRowIdentity(query, keyColumns_);
    // The next pass sorts its rows in the window's order before handing them over.
    sortText_ = query.sort();
    delete sortUpdate_.exchange(nullptr, std::memory_order_acq_rel);
}

void TQueryThread::EndUpdates()
{
    Synchronize([&] {
        Monitor.SetWorking(false);
        Monitor.ResetCounter();
        Monitor.SetIndicator(Indicator::Red);
    });
}
