#include "connection/QueryThread.h"

#include "app/ServiceClasses.h"
#include "app/Texts.h"
#include "app/Utils.h"
#include "data/Connection.h"
#include "data/DataErrors.h"
#include "data/Query.h"
#include "monitor/FormMon.h"
#include "platform/LineFile.h"

#include <QComboBox>
#include <exception>
#include <memory>

namespace {

// A wait step below this would make the loop spin; the settings file keeps what it holds.
constexpr int MinimumStep = 10;

} // namespace

bool PassDue(int waitCounter, int step, int interval, bool runNow)
{
    // After a pass the next one comes after ceil(interval * 1000 / step) + 1 steps.
    return runNow || static_cast<qint64>(waitCounter) * step >= static_cast<qint64>(interval) * 1000;
}

TQueryThread::TQueryThread(TFormMon* window)
    : Monitor(window)
    , WorkConnection(std::make_unique<Connection>())
    , WorkQuery(std::make_unique<Query>())
{
    step_ = std::max(App->SleepInterval, MinimumStep);
    WorkConnection->setConnectionString(window->ADOC->connectionString());
    WorkConnection->open();
    WorkQuery->setConnection(WorkConnection.get());
    WorkQuery->setSql(window->Query->sql());
    WorkQuery->setDecimalsAsFloat(window->Query->decimalsAsFloat());
    sortText_ = window->Query->sort();
}

TQueryThread::~TQueryThread()
{
    wait();
    // Pairs with the store at the end of the loop; the wait alone orders nothing a race
    // detector can see.
    Ended();
}

void TQueryThread::Start()
{
    start(QThread::LowestPriority);
}

template <typename F>
void TQueryThread::Synchronize(F&& f)
{
    // The call and the wait meet in an atomic flag; the state is shared so that neither side can
    // outlive it. The window serves these calls also while it waits for this thread to end.
    struct Call {
        std::atomic<bool> done{false};
        std::exception_ptr error;
    };
    auto call = std::make_shared<Call>();
    QMetaObject::invokeMethod(
        Monitor,
        [call, &f] {
            try {
                f();
            } catch (...) {
                call->error = std::current_exception();
            }
            call->done.store(true, std::memory_order_release);
            call->done.notify_one();
        },
        Qt::QueuedConnection);
    call->done.wait(false, std::memory_order_acquire);
    if (call->error)
        std::rethrow_exception(call->error);
}

int TQueryThread::Interval() const
{
    return Monitor->Interval();
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
            const int interval = Interval();
            if (!PassDue(waitCounter, step_, interval, RunNow)) {
                ++waitCounter;
                continue;
            }
            if (Pass() == PassResult::End)
                break;
            waitCounter = 0;
            RunNow = false;
            if (Interval() <= 0)
                Stopped = true;
        }
        if (Stopped || Interval() <= 0)
            EndUpdates();
    } catch (...) {
        // A reload that cannot be read, a catalogue position gone or a failed hand-over end the
        // worker at once, without a message.
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
        QStringList lines;
        // The catalogue and the script box belong to the user-interface thread.
        Synchronize([&] {
            const int index = Monitor->cmBox->currentIndex();
            if (index < 0 || index >= static_cast<int>(App->Sensors.size()))
                throw std::out_of_range("script position outside the catalogue");
            lines = ReadLines(ExpandAppPath(App->Sensors[static_cast<std::size_t>(index)]->ScriptFile));
        });
        WorkQuery->setSql(lines);
        if (lines.isEmpty()) {
            Synchronize([&] {
                Monitor->SetPanelText(4, QLatin1Char(' ') + TimeStamp() + Texts::OfflineScriptLoad);
                Monitor->IndicatorState = 2;
                Monitor->RepaintStatusBar();
            });
            return PassResult::End;
        }
    }

    try {
        WorkQuery->open();
        Stopped = false;
    } catch (const QuillonError&) {
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
        Monitor->Query->setFiltered(false);
        Monitor->Query->setFilter(QString());
        if (Monitor->acSetFilter->isChecked())
            Monitor->acSetFilterExecute();
        Monitor->SetPanelText(4, message);
    });
}

void TQueryThread::HandOver(bool reloaded)
{
    if (Stopped)
        return;
    ::Query& query = *Monitor->Query;
    const bool wasActive = query.active();
    const Bookmark bookmark = wasActive && query.recordCount() > 0 ? query.bookmark() : Bookmark{};
    std::vector<int> tags;
    if (wasActive) {
        for (int i = 0; i < query.fieldCount(); ++i)
            tags.push_back(query.fieldTag(i));
    }

    // The data set keeps its sort text and filter and applies them to the rows it takes over.
    query.adopt(*WorkQuery);
    if (static_cast<int>(tags.size()) == query.fieldCount()) {
        for (int i = 0; i < query.fieldCount(); ++i)
            query.setFieldTag(i, tags[static_cast<std::size_t>(i)]);
    }

    if (reloaded) {
        ScriptChanged = false;
    } else if (bookmark.valid()) {
        try {
            query.gotoBookmark(bookmark);
        } catch (const QuillonError&) {
            // The row is gone: the data set stays on its first row.
        }
    }
    Monitor->CountRefresh();
    Monitor->ShowPosition();
    // The next pass sorts its rows in the window's order before handing them over.
    sortText_ = query.sort();
}

void TQueryThread::EndUpdates()
{
    Synchronize([&] {
        Monitor->Working = false;
        Monitor->SetPanelText(0, QStringLiteral("0"));
        Monitor->SetPanelText(1, QStringLiteral("0"));
        Monitor->IndicatorState = 2;
        Monitor->RepaintStatusBar();
        Monitor->acStart->setChecked(Monitor->Working);
    });
}
