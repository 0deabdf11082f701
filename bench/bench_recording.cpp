// Figures for recordings: an hour of a 1-second refresh of a 300-row session list written to a
// recording file, a delta of about 3 KB a refresh and a 60 KB keyframe every 30th, incompressible as
// the codec hands them over; then the file read back. No server.
//   quillon_bench_recording [FOLDER]     the file goes into FOLDER (default: a temporary folder)
#include "ThreadCpu.h"

#include "data/history/RecordingFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr int Frames = 3600;
constexpr int KeyframeEvery = 30;

struct Spread {
    double median, mean, worst;
};

Spread SpreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], std::accumulate(values.begin(), values.end(), 0.0) / double(values.size()),
            values.back()};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary(app.arguments().size() > 1 ? app.arguments()[1] + QStringLiteral("/recording-XXXXXX")
                                                       : QDir::tempPath() + QStringLiteral("/recording-XXXXXX"));
    const QString path = temporary.filePath(QStringLiteral("hour.rec"));

    // Random bytes, cut from one pool so that making them costs nothing in the loop.
    QByteArray pool(1 << 20, Qt::Uninitialized);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32*>(pool.data()), pool.size() / 4);
    std::vector<HistoryFrame> frames(Frames);
    qint64 dataBytes = 0;
    for (int i = 0; i < Frames; ++i) {
        HistoryFrame& frame = frames[std::size_t(i)];
        frame.time = 1700000000000 + qint64(i) * 1000;
        frame.keyframe = i % KeyframeEvery == 0;
        frame.rowCount = 300;
        const int size = frame.keyframe ? 60000 : 2500 + int(random.bounded(1000));
        frame.data = pool.mid(random.bounded(pool.size() - size), size);
        dataBytes += size;
    }

    RecordingHeader header;
    header.server = QStringLiteral("bench");
    header.scriptName = QStringLiteral("Процессы (sp_Who2)");
    header.keyColumns = QStringList{QStringLiteral("SPID")};
    std::vector<double> cpu, wall;
    qint64 largestLog = 0;
    {
        RecordingWriter writer(path, header);
        for (const HistoryFrame& frame : frames) {
            QElapsedTimer timer;
            const double cpuBefore = ThreadCpuMillis();
            timer.start();
            writer.write(frame);
            wall.push_back(double(timer.nsecsElapsed()) / 1e6);
            cpu.push_back(ThreadCpuMillis() - cpuBefore);
            largestLog = std::max(largestLog, QFileInfo(path + QStringLiteral("-wal")).size());
        }
    }
    const qint64 fileBytes = QFileInfo(path).size();

    QElapsedTimer reading;
    reading.start();
    std::vector<double> readMs;
    {
        const RecordingReader reader(path);
        for (int i = 0; i < reader.frameCount(); ++i) {
            QElapsedTimer timer;
            timer.start();
            (void)reader.frame(i);
            readMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    const double readAllMs = double(reading.nsecsElapsed()) / 1e6;

    const Spread cpuSpread = SpreadOf(cpu);
    const Spread wallSpread = SpreadOf(wall);
    const Spread readSpread = SpreadOf(readMs);
    const double mb = 1024.0 * 1024.0;
    std::printf("| recording: %d frames of 1 s, 300 rows, ~3 KB deltas, 60 KB keyframe every %d |\n", Frames,
                KeyframeEvery);
    std::printf("| write, CPU per frame | median %.3f ms, mean %.3f ms, worst %.2f ms | goal well under 50 ms |\n",
                cpuSpread.median, cpuSpread.mean, cpuSpread.worst);
    std::printf("| write, CPU share of a 1-second interval | %.3f %% | goal < 5 %% |\n", cpuSpread.mean / 10.0);
    std::printf("| write, wall per frame | median %.3f ms, mean %.3f ms, worst %.2f ms | - |\n", wallSpread.median,
                wallSpread.mean, wallSpread.worst);
    std::printf("| file after an hour | %.1f MB (frame data %.1f MB; log at most %.1f MB while writing) | goal < 20 MB |\n",
                double(fileBytes) / mb, double(dataBytes) / mb, double(largestLog) / mb);
    std::printf("| read back, per frame | median %.3f ms, worst %.2f ms; whole hour with open %.0f ms | - |\n",
                readSpread.median, readSpread.worst, readAllMs);
    return 0;
}
