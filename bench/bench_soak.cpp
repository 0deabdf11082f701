// A long soak of the program as an operator leaves it running: the main window with monitor windows
// on the server's sessions refreshing every second, while client sessions come and go. Every minute
// it prints the process's resident size and its live heap, and at the end the growth of the live
// heap per refresh over the second half of the run, where start-up's caches have settled.
// Runs against the throwaway PostgreSQL of scripts/testdb.sh (scripts/soak.sh starts it).
//   quillon_bench_soak [minutes] [windows]     default 120 minutes, 8 windows

#include "ProgramFolder.h"
#include "ResidentSize.h"
#include "TestDatabase.h"

#include "app/Application.h"
#include "shell/FormMain.h"
#include "connection/Connect.h"
#include "data/Query.h"
#include "monitor/FormMon.h"
#include "monitor/MonitorStatusBar.h"
#include "platform/LargeBlocks.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMdiArea>
#include <QTimer>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// The sample's session list, its order left off, with a few hundred generated sessions whose states,
// times and texts change at every refresh, and whose number drifts, so that every hand-over replaces
// real data.
QByteArray sessionsScript()
{
    QFile sample(QStringLiteral(QUILLON_SAMPLE_DIR "/Scripts/postgresql/activity.sql"));
    if (!sample.open(QIODevice::ReadOnly))
        return {};
    QByteArray script = sample.readAll();
    const qsizetype order = script.lastIndexOf("ORDER BY");
    if (order < 0)
        return {};
    script.truncate(order);
    return script + R"(UNION ALL
SELECT 100000 + g,
    CAST('user' || g % 17 AS varchar(63)),
    CAST('db' || g % 5 AS varchar(63)),
    CAST('application ' || (g * 7 + extract(second FROM clock_timestamp())::int) % 23 AS varchar(128)),
    CAST('10.0.' || g % 9 || '.' || g % 251 AS varchar(64)),
    CAST(CASE WHEN random() < 0.3 THEN 'active' WHEN random() < 0.5 THEN 'idle in transaction' ELSE 'idle' END AS varchar(32)),
    CAST(CASE WHEN random() < 0.2 THEN 'Lock' END AS varchar(32)),
    CAST(CASE WHEN random() < 0.2 THEN 'transactionid' END AS varchar(64)),
    CAST(clock_timestamp() - g * interval '1 minute' AS timestamp(0)),
    CAST(clock_timestamp() - random() * interval '10 minutes' AS timestamp(0)),
    CAST(clock_timestamp() - random() * interval '1 minute' AS timestamp(0)),
    CAST(round(CAST(random() * 600 AS numeric), 1) AS numeric(12, 1)),
    CAST('select * from orders where id = ' || (random() * 1e6)::int || ' /* ' || repeat(md5(random()::text), 1 + g % 8) || ' */' AS varchar(2000))
FROM generate_series(1, 200 + (extract(epoch FROM clock_timestamp())::int % 60)) AS g
ORDER BY 6, 11
)";
}

// Bytes handed out by malloc and not yet freed: the arenas' chunks in use and the blocks mapped on
// their own. Unlike the resident size it does not move with fragmentation or with what the
// allocator keeps back.
double liveHeapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

struct Sample {
    int minute;
    long refreshes;
    double residentMb;
    double heapMb;
    int rows;
};

// Least-squares slope of y over x.
double slope(const std::vector<double>& x, const std::vector<double>& y)
{
    const size_t n = x.size();
    if (n < 2)
        return 0;
    double mx = 0, my = 0;
    for (size_t i = 0; i < n; ++i) {
        mx += x[i];
        my += y[i];
    }
    mx /= n;
    my /= n;
    double sxy = 0, sxx = 0;
    for (size_t i = 0; i < n; ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    return sxx > 0 ? sxy / sxx : 0;
}

} // namespace

int main(int argc, char** argv)
{
    ReturnLargeBlocksAtOnce();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Application application(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 120;
    const int windows = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    if (!TestDatabase::available()) {
        std::fprintf(stderr, "the test database is not running (QUILLON_TEST_DB_DIR)\n");
        return 1;
    }

    const QByteArray sessions = sessionsScript();
    if (sessions.isEmpty()) {
        std::fprintf(stderr, "the sample's activity script was not found under %s\n", QUILLON_SAMPLE_DIR);
        return 1;
    }
    ProgramFolder folder;
    folder.write(QStringLiteral("Config/Sensors.ini"), "Sessions;SESSIONS;Scripts/sessions.sql\r\n");
    folder.write(QStringLiteral("Scripts/sessions.sql"), sessions);
    auto form = std::make_unique<TFormMain>(folder.executable());
    form->resize(1600, 1000);
    form->show();

    std::vector<TFormMon*> open;
    for (int i = 0; i < windows; ++i) {
        auto* descriptor = new TConnect;
        descriptor->ConnectionString = TestDatabase::pgConnectionString();
        descriptor->Server = TestDatabase::pgDsn();
        descriptor->Sleep = 1;
        descriptor->Width = 700;
        descriptor->Height = 450;
        TFormMon* window = form->OpenMonitor(descriptor);
        window->cmBox->setCurrentIndex(0);
        window->acStart->trigger();
        open.push_back(window);
    }
    form->mdiArea()->tileSubWindows();

    // A wait in a plain event loop, as the program's own sleeps between events.
    const auto run = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    const auto refreshes = [&] {
        long total = 0;
        for (TFormMon* window : open)
            total += window->StatusBar->PanelText(StatusPanel::CounterHigh).toLong() * 100000
                     + window->StatusBar->PanelText(StatusPanel::CounterLow).toLong();
        return total;
    };
    // Half the windows sorted by a column, as operators keep them: the state, then the start time.
    run(5000);
    for (int i = 0; i < windows; i += 2) {
        open[i]->DBGridTitleBtnClick(5);
        open[i]->DBGridTitleBtnClick(10);
    }

    std::printf("soak: %d monitor windows at 1 s for %d minutes\n", windows, minutes);
    std::printf("| minute | refreshes | RSS MB | live heap MB | rows in the first window |\n|---:|---:|---:|---:|---:|\n");
    std::vector<Sample> samples;
    QElapsedTimer clock;
    clock.start();
    for (int minute = 0; minute <= minutes; ++minute) {
        if (minute > 0)
            run(int(std::max<qint64>(0, minute * 60000LL - clock.elapsed())));
        const Sample sample{minute, refreshes(), ResidentKilobytes() / 1024.0, liveHeapBytes() / 1048576.0,
                            open.front()->Query->recordCount()};
        samples.push_back(sample);
        std::printf("| %d | %ld | %.1f | %.2f | %d |\n", sample.minute, sample.refreshes, sample.residentMb, sample.heapMb,
                    sample.rows);
    }

    std::vector<double> x, y;
    for (const Sample& sample : samples) {
        if (sample.minute * 2 < minutes)
            continue;
        x.push_back(double(sample.refreshes));
        y.push_back(sample.heapMb * 1048576.0);
    }
    const Sample& first = samples.front();
    const Sample& last = samples.back();
    std::printf("\nstart: RSS %.1f MB, live heap %.2f MB; end: RSS %.1f MB, live heap %.2f MB; %ld refreshes\n",
                first.residentMb, first.heapMb, last.residentMb, last.heapMb, last.refreshes);
    std::printf("live heap slope over the second half (minutes %d..%d, %zu samples): %.2f bytes per refresh\n",
                x.empty() ? 0 : (minutes + 1) / 2, minutes, x.size(), slope(x, y));

    for (TFormMon* window : open)
        window->acStart->trigger();
    run(2000);
    form.reset();
    return 0;
}
