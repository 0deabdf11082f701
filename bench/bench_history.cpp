// Figures for a window's history of results: a session list of 13 columns refreshed with realistic
// churn (5 % of cells change per refresh, 1 row in 100 replaced by a new session). No server: the
// rows are built by hand.
//   quillon_bench_history [small|large|marking]   one table: each figure beside its goal; all parts
//                                                 without an argument
#include "data/history/FrameCodec.h"
#include "data/history/ResultChanges.h"
#include "data/history/ResultComparer.h"
#include "data/history/ResultHistory.h"
#include "data/history/ResultTracker.h"
#include "data/records/RecordSet.h"
#include "data/records/TemporalValue.h"
#include "platform/LargeBlocks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int Columns = 13;
// The columns of sp_who2 as far as their kinds go; the text columns draw from pools of values.
constexpr std::array<std::pair<const char*, FieldType>, Columns> Fields{{
    {"spid", FieldType::Integer},     {"ecid", FieldType::SmallInt},    {"status", FieldType::VarChar},
    {"login", FieldType::VarWChar},   {"host", FieldType::VarWChar},    {"blkby", FieldType::Integer},
    {"dbname", FieldType::VarWChar},  {"command", FieldType::VarChar},  {"cpu", FieldType::BigInt},
    {"diskio", FieldType::BigInt},    {"lastbatch", FieldType::DateTime}, {"program", FieldType::VarWChar},
    {"requestid", FieldType::Integer},
}};
constexpr int PoolSize = 50;

// A session list whose rows change as a busy server's do.
class Sessions {
public:
    explicit Sessions(int rows) : cells_(std::size_t(rows))
    {
        const char* patterns[] = {"status %1", "login_%1", "host-%1.corp.example", "база_%1", "COMMAND %1",
                                  "Приложение %1 - задание"};
        for (const char* pattern : patterns) {
            std::vector<QString> pool;
            for (int i = 0; i < PoolSize; ++i)
                pool.push_back(QString::fromUtf8(pattern).arg(i));
            pools_.push_back(std::move(pool));
        }
        for (Row& row : cells_)
            renew(row);
    }

    // One refresh on: rows replaced, then cells changed.
    void churn()
    {
        for (Row& row : cells_) {
            if (random_() % 100 == 0)
                renew(row);
        }
        const std::size_t changes = cells_.size() * Columns / 20;
        for (std::size_t i = 0; i < changes; ++i)
            change(cells_[random_() % cells_.size()], 1 + int(random_() % (Columns - 1)));
    }

    std::unique_ptr<RecordSet> records() const
    {
        QList<FieldInfo> fields;
        for (const auto& [name, type] : Fields) {
            FieldInfo field;
            field.name = QString::fromLatin1(name);
            field.type = type;
            fields.append(field);
        }
        auto records = std::make_unique<RecordSet>(fields);
        for (const Row& row : cells_) {
            for (int c = 0; c < Columns; ++c) {
                RecordColumn& column = records->column(c);
                const qint64 value = row[std::size_t(c)];
                if (column.storage() == RecordColumn::Storage::Text) {
                    const QString& text = pools_[std::size_t(TextPool(c))][std::size_t(value)];
                    column.appendText(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
                } else if (c == 5 && value == 0) {
                    column.appendNull();
                } else {
                    column.appendInteger(value);
                }
            }
        }
        records->squeeze();
        return records;
    }

private:
    using Row = std::array<qint64, Columns>;

    static int TextPool(int column)
    {
        switch (column) {
        case 2: return 0;
        case 3: return 1;
        case 4: return 2;
        case 6: return 3;
        case 7: return 4;
        default: return 5;
        }
    }

    void renew(Row& row)
    {
        row[0] = nextSession_++;
        for (int c = 1; c < Columns; ++c)
            change(row, c);
    }

    void change(Row& row, int column)
    {
        qint64& value = row[std::size_t(column)];
        switch (Fields[std::size_t(column)].second) {
        case FieldType::BigInt:
            value += qint64(random_() % 5000);
            break;
        case FieldType::DateTime:
            value = DateTimeToTicks(QDate(2026, 12, 9), 0) + qint64(random_() % 86400) * TicksPerSecond;
            break;
        case FieldType::VarChar:
        case FieldType::VarWChar:
            value = qint64(random_() % PoolSize);
            break;
        default:
            value = column == 5 ? qint64(random_() % 4 == 0 ? random_() % 500 : 0) : qint64(random_() % 1000);
        }
    }

    std::vector<Row> cells_;
    std::vector<std::vector<QString>> pools_;
    std::mt19937 random_{20261209};
    qint64 nextSession_ = 1;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Worst(const std::vector<double>& values)
{
    return *std::max_element(values.begin(), values.end());
}

double MillisSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void Line(const QString& figure, const QString& measured, const char* goal)
{
    std::printf("| %-62s | %-24s | %-10s |\n", qPrintable(figure), qPrintable(measured), goal);
}

QString Mb(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

QString Ms(double median, double worst)
{
    return QStringLiteral("%1 ms (worst %2)").arg(median, 0, 'f', 2).arg(worst, 0, 'f', 2);
}

// An hour of refreshes every interval seconds of rows rows through the tracker into a history,
// as a window keeps them: its memory, a snapshot's time and the frames' bytes.
void Hour(int rows, int interval, const char* goalMemory, const char* goalCpu)
{
    Sessions sessions(rows);
    ResultTracker tracker({QStringLiteral("spid")});
    ResultHistory history(3600'000, 100 * 1024 * 1024 * 1024LL);
    const int frames = 3600 / interval;
    qint64 payload = 0;
    std::vector<double> tracking;
    for (int i = 0; i < frames; ++i) {
        if (i > 0)
            sessions.churn();
        std::unique_ptr<RecordSet> records = sessions.records();
        QElapsedTimer timer;
        timer.start();
        ResultTracker::Refresh refresh = tracker.track(std::move(records), qint64(i) * interval * 1000, nullptr, false, true);
        tracking.push_back(MillisSince(timer));
        payload += refresh.frame.data.size();
        history.append(std::move(refresh.frame));
    }
    const QString what = QStringLiteral("%1 rows x 13 at %2 s, one hour (%3 frames)").arg(rows).arg(interval).arg(frames);
    Line(what + QStringLiteral(": history held"), Mb(history.bytesUsed()), goalMemory);
    Line(QStringLiteral("  frames' bytes (a recording's payload)"), Mb(payload), rows <= 300 ? "< 20 MB" : "-");
    Line(QStringLiteral("  tracking a refresh (marks and frame)"), Ms(Median(tracking), Worst(tracking)), "-");
    Line(QStringLiteral("  of a core at this interval"),
        QStringLiteral("%1 %").arg(100 * Median(tracking) / (interval * 1000.0), 0, 'f', 3), goalCpu);

    std::mt19937 random(7);
    std::vector<double> showing;
    for (int i = 0; i < 200; ++i) {
        const int index = int(random() % unsigned(history.size()));
        QElapsedTimer timer;
        timer.start();
        const std::unique_ptr<RecordSet> shown = history.snapshot(index);
        showing.push_back(MillisSince(timer));
    }
    Line(QStringLiteral("  a snapshot of a random frame"), Ms(Median(showing), Worst(showing)), "< 30 ms");
}

// A refresh of a large result against the one before: the tracker's whole work and the marking alone.
void Large(int rows, int runs)
{
    Sessions sessions(rows);
    ResultTracker tracker({QStringLiteral("spid")}, 1'000'000);
    std::unique_ptr<RecordSet> before = sessions.records();
    tracker.track(before->clone(), 0, nullptr, false, true);
    // Kept from refresh to refresh, as the tracker keeps its own.
    ResultComparer comparer;
    std::vector<double> tracking, marking, first;
    for (int i = 1; i <= runs; ++i) {
        sessions.churn();
        std::unique_ptr<RecordSet> records = sessions.records();
        QElapsedTimer timer;
        timer.start();
        // One of the two a refresh: the second would find the rows already read.
        if (i % 2) {
            comparer.compare(*before, *records, {QStringLiteral("spid")});
            marking.push_back(MillisSince(timer));
        } else {
            CompareResults(*before, *records, {QStringLiteral("spid")});
            first.push_back(MillisSince(timer));
        }
        before = records->clone();
        timer.restart();
        tracker.track(std::move(records), i * 1000, nullptr, false, true);
        tracking.push_back(MillisSince(timer));
    }
    const QString what = QStringLiteral("%1 rows x 13, a refresh").arg(rows);
    Line(what + QStringLiteral(": marking alone"), Ms(Median(marking), Worst(marking)), "< 20 ms");
    Line(QStringLiteral("  marking alone, a comparer's first"), Ms(Median(first), Worst(first)), "-");
    Line(QStringLiteral("  marks, vanished rows, frame and copy kept"), Ms(Median(tracking), Worst(tracking)), "-");
}

} // namespace

int main(int argc, char** argv)
{
    ReturnLargeBlocksAtOnce();
    QCoreApplication app(argc, argv);
    Line(QStringLiteral("figure"), QStringLiteral("measured"), "goal");
    std::printf("|%s|%s|%s|\n", QByteArray(64, '-').constData(), QByteArray(26, '-').constData(),
                QByteArray(12, '-').constData());
    const QString part = app.arguments().value(1);
    if (part.isEmpty() || part == QLatin1String("small"))
        Hour(300, 1, "<= 30 MB", "< 5 %");
    if (part.isEmpty() || part == QLatin1String("large"))
        Hour(20000, 10, "<= 150 MB", "-");
    if (part.isEmpty() || part == QLatin1String("marking"))
        Large(200000, 10);
    return 0;
}
