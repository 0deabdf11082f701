// The monitor window's share of the user-interface thread: the time each hand-over of a refreshed
// result takes there, and the CPU the program uses while windows wait between refreshes.
// Runs against the throwaway PostgreSQL of scripts/testdb.sh (scripts/bench.sh starts it).
//   quillon_bench_monitor          the table of hand-overs and idle windows
//   quillon_bench_monitor peak     memory of a window refreshing 200,000 rows sorted by a text column
//   quillon_bench_monitor watch    a window on the server's activity at 1 s, until it is ended
//   quillon_bench_monitor rates    hand-overs of 200,000 rows with per-second rates and without

#include "ResidentSize.h"
#include "TestDatabase.h"

#include "app/ServiceClasses.h"
#include "connection/Connect.h"
#include "connection/QueryThread.h"
#include "data/Query.h"
#include "data/view/ToggleTitleSort.h"
#include "monitor/FormMon.h"
#include "monitor/MonitorStatusBar.h"
#include "platform/LargeBlocks.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

// Times every call the worker threads make onto the user-interface thread.
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (event->type() != QEvent::MetaCall || !qobject_cast<TQueryThread*>(receiver))
            return QApplication::notify(receiver, event);
        QElapsedTimer timer;
        timer.start();
        const bool result = QApplication::notify(receiver, event);
        calls.push_back(timer.nsecsElapsed() / 1e6);
        return result;
    }

    std::vector<double> calls;
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
}

std::unique_ptr<TFormMon> openWindow(int interval, int width = 900, int height = 600)
{
    auto* descriptor = new TConnect;
    descriptor->ConnectionString = TestDatabase::pgConnectionString();
    descriptor->Server = TestDatabase::pgDsn();
    descriptor->Sleep = interval;
    descriptor->Width = width;
    descriptor->Height = height;
    auto window = std::make_unique<TFormMon>(descriptor);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    return window;
}

void waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    // A real event loop that sleeps between events, as the program's own does.
    while (!done() && timer.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Median and worst of the hand-overs after the first (which also lays out the grid's columns).
// Every fifth refresh the operator clicks a title, so the worst includes the hand-overs that
// follow a change of the sort.
void handOvers(TimingApplication& application, int scriptIndex, int rows, int count)
{
    auto window = openWindow(1);
    window->cmBox->setCurrentIndex(scriptIndex);
    window->acStart->trigger();
    waitFor([&] { return window->Query->active(); }, 120000);
    if (!window->Query->active()) {
        std::printf("hand-over %d rows: no result arrived\n", rows);
        return;
    }
    // A two-column sort and a filter, as an operator would have them.
    ToggleTitleSort(*window->Query, 1, window->SortFields);
    ToggleTitleSort(*window->Query, 2, window->SortFields);
    ToggleTitleSort(*window->Query, 2, window->SortFields);
    window->Query->setFilter(QStringLiteral("[grp] > 100 AND [id] < %1").arg(rows * 3 / 4));
    window->Query->setFiltered(true);

    application.calls.clear();
    const int first = window->StatusBar->PanelText(StatusPanel::CounterLow).toInt();
    std::fprintf(stderr, "measuring %d hand-overs of %d rows\n", count, rows);
    const auto refreshes = [&] { return window->StatusBar->PanelText(StatusPanel::CounterLow).toInt() - first; };
    int clicks = 0;
    waitFor([&] {
        // The name, the hash and the amount in turn: text of every kind of spread, and a number.
        static const int titles[] = {2, 7, 3};
        if (refreshes() >= 5 * (clicks + 1) && refreshes() < count)
            window->DBGridTitleBtnClick(titles[clicks++ % 3]);
        return refreshes() >= count;
    }, count * 20000);
    window->acStart->trigger();

    std::vector<double> times = application.calls;
    std::sort(times.begin(), times.end());
    if (times.empty()) {
        std::printf("hand-over %d rows: none measured\n", rows);
        return;
    }
    std::printf("| hand-over of %7d rows, sorted and filtered, %d sort changes (%zu) | median %8.2f ms | worst %8.2f ms | shown %d |\n",
                rows, clicks, times.size(), times[times.size() / 2], times.back(), window->Query->recordCount());
}

// The hand-overs of a script of 200,000 rows with running totals, sorted by the first total's rate
// where the script's options give rates (by the total itself where not): what the rate columns add
// to the user-interface thread's share.
void rateHandOvers(TimingApplication& application, int scriptIndex, const char* label, int count)
{
    auto window = openWindow(1);
    window->cmBox->setCurrentIndex(scriptIndex);
    window->acStart->trigger();
    waitFor([&] { return window->Query->active(); }, 120000);
    if (!window->Query->active()) {
        std::printf("hand-over %s: no result arrived\n", label);
        return;
    }
    const int rate = window->Query->fieldIndex(QStringLiteral("cpu/с"));
    const int sorted = rate >= 0 ? rate : window->Query->fieldIndex(QStringLiteral("cpu"));
    window->DBGridTitleBtnClick(sorted);
    window->DBGridTitleBtnClick(sorted);
    application.calls.clear();
    const int first = window->StatusBar->PanelText(StatusPanel::CounterLow).toInt();
    std::fprintf(stderr, "measuring %d hand-overs %s\n", count, label);
    waitFor([&] { return window->StatusBar->PanelText(StatusPanel::CounterLow).toInt() - first >= count; }, count * 20000);
    const int measured = window->StatusBar->PanelText(StatusPanel::CounterLow).toInt() - first;
    window->acStart->trigger();
    // One hand-over a refresh, the longest of the calls: the others arm the passes' deadlines.
    std::vector<double> times = application.calls;
    std::sort(times.begin(), times.end());
    times.erase(times.begin(), times.end() - std::min<std::ptrdiff_t>(measured, std::ptrdiff_t(times.size())));
    if (times.empty()) {
        std::printf("hand-over %s: none measured\n", label);
        return;
    }
    std::printf("| hand-over of 200000 rows %s, sorted descending (%zu) | median %8.2f ms | worst %8.2f ms | %d columns |\n",
                label, times.size(), times[times.size() / 2], times.back(), window->Query->fieldCount());
}

void idleCpu(int windows, int seconds)
{
    std::vector<std::unique_ptr<TFormMon>> open;
    for (int i = 0; i < windows; ++i) {
        open.push_back(openWindow(3));
        open.back()->cmBox->setCurrentIndex(2);
        open.back()->acStart->trigger();
    }
    waitFor([&] { return std::all_of(open.begin(), open.end(), [](auto& w) { return w->Query->active(); }); }, 30000);
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // One plain event loop for the whole span: the measurement itself wakes nothing.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double used = cpuSeconds() - before;
    std::printf("| %d windows, one-row script every 3 s, %d s | CPU %.2f%% of one core |\n", windows, seconds,
                100.0 * used / (wall.elapsed() / 1000.0));
    for (auto& w : open)
        w->acStart->trigger();
}

// The program's base before any result, the rows a window holds, and the peak of the whole run,
// while a window refreshes 200,000 rows sorted by a text column.
void peakMemory(int refreshes)
{
    auto window = openWindow(1);
    window->cmBox->setCurrentIndex(0);
    const long base = ResidentKilobytes();
    window->acStart->trigger();
    waitFor([&] { return window->Query->active(); }, 120000);
    window->DBGridTitleBtnClick(2);
    const int first = window->StatusBar->PanelText(StatusPanel::CounterLow).toInt();
    waitFor([&] { return window->StatusBar->PanelText(StatusPanel::CounterLow).toInt() >= first + refreshes; },
            refreshes * 20000);
    const long held = long(window->Query->bytesUsed() / 1024);
    const int counted = window->StatusBar->PanelText(StatusPanel::CounterLow).toInt() - first;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    window->acStart->trigger();
    std::printf("base_kb %ld held_kb %ld peak_kb %ld now_kb %ld refreshes %d\n", base, held, long(usage.ru_maxrss),
                ResidentKilobytes(), counted);
}

// One window on the server's activity at 1 s, as an operator watches it, until the process is
// ended from outside (or after ten minutes).
void watch()
{
    auto window = openWindow(1, 1280, 1000);
    window->cmBox->setCurrentIndex(3);
    window->acStart->trigger();
    QEventLoop loop;
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    loop.exec();
    window->acStart->trigger();
}

} // namespace

int main(int argc, char** argv)
{
    ReturnLargeBlocksAtOnce();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    TimingApplication application(argc, argv);
    if (!TestDatabase::available()) {
        std::fprintf(stderr, "the test database is not running (QUILLON_TEST_DB_DIR)\n");
        return 1;
    }
    QTemporaryDir folder;
    writeFile(folder.filePath(QStringLiteral("Config/Sensors.ini")),
              "a;A;Scripts/large.sql\r\nb;B;Scripts/small.sql\r\nc;C;Scripts/one.sql\r\nd;D;Scripts/activity.sql\r\n"
              "e;E;Scripts/totals.sql\r\nf;F;Scripts/totals.sql\r\n");
    // Two keys and three running totals that grow with the clock; the same script without options as F.
    writeFile(folder.filePath(QStringLiteral("Config/Options.ini")), "[E]\r\nKeyColumns=grp,id\r\nCumulativeColumns=cpu,reads,io\r\n");
    writeFile(folder.filePath(QStringLiteral("Scripts/totals.sql")),
              "select g as id, g % 1000 as grp, 'name ' || g as name, "
              "(extract(epoch from clock_timestamp()) * 1000)::bigint * (g % 7) as cpu, "
              "g * 1.5 + extract(epoch from clock_timestamp())::float8 as reads, "
              "((g % 13) * extract(epoch from clock_timestamp())::bigint)::text as io "
              "from generate_series(1, 200000) g");
    const QByteArray columns = "select g as id, g % 1000 as grp, 'name ' || g as name, g * 1.5 as amount, "
                               "(g % 7)::numeric(10,2) as price, now()::timestamp - g * interval '1 second' as at, "
                               "g % 3 = 0 as flag, md5(g::text) as hash, g::bigint * 1000 as big, 'x' as tag "
                               "from generate_series(1, ";
    writeFile(folder.filePath(QStringLiteral("Scripts/large.sql")), columns + "200000) g");
    writeFile(folder.filePath(QStringLiteral("Scripts/small.sql")), columns + "1000) g");
    writeFile(folder.filePath(QStringLiteral("Scripts/one.sql")), "select 1 as id");
    writeFile(folder.filePath(QStringLiteral("Scripts/activity.sql")), "select * from pg_stat_activity");
    int l = 0, t = 0, h = 0, w = 0, s = 0;
    TApp app(folder.filePath(QStringLiteral("quillon")), l, t, h, w, s);
    App = &app;
    app.LoadSensors();

    const QString mode = application.arguments().value(1);
    if (mode == QStringLiteral("peak")) {
        peakMemory(8);
        App = nullptr;
        return 0;
    }
    if (mode == QStringLiteral("rates")) {
        std::printf("| measure | figures |\n|---|---|\n");
        rateHandOvers(application, 5, "without rates", 15);
        rateHandOvers(application, 4, "with 3 rate columns", 15);
        App = nullptr;
        return 0;
    }
    if (mode == QStringLiteral("watch")) {
        watch();
        App = nullptr;
        return 0;
    }
    std::printf("| measure | figures |\n|---|---|\n");
    handOvers(application, 0, 200000, 30);
    handOvers(application, 1, 1000, 30);
    idleCpu(10, 30);
    App = nullptr;
    return 0;
}
