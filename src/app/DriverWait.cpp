#include "app/DriverWait.h"

#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/connection/DriverTask.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <exception>
#include <thread>

namespace {

// A fast answer shows no box at all.
constexpr qint64 QuietMilliseconds = 300;

std::atomic<int> running{0};

struct SharedRun {
    std::shared_ptr<DriverTask> task;
    std::atomic<bool> done{false};
    std::exception_ptr error;
};

class WaitBox : public QDialog {
public:
    explicit WaitBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
    {
        setObjectName(QStringLiteral("DriverWaitBox"));
        setWindowTitle(QStringLiteral("Quillon"));
        setModal(true);
        auto* text = new QLabel(QStringLiteral("Подключение к серверу ..."), this);
        seconds_ = new QLabel(this);
        seconds_->setObjectName(QStringLiteral("Seconds"));
        cancel_ = new QPushButton(QStringLiteral("Отмена"), this);
        cancel_->setObjectName(QStringLiteral("Cancel"));
        auto* row = new QHBoxLayout;
        row->addWidget(text);
        row->addWidget(seconds_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(row);
        layout->addWidget(cancel_, 0, Qt::AlignHCenter);
        connect(cancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    }

    void showSeconds(qint64 milliseconds) { seconds_->setText(QStringLiteral("%1 с").arg(milliseconds / 1000)); }
    bool cancelled() const { return cancelled_; }

protected:
    // Esc and the close box mean Cancel, never a box that goes while the wait goes on.
    void reject() override { cancelled_ = true; }

private:
    QLabel* seconds_;
    QPushButton* cancel_;
    bool cancelled_ = false;
};

} // namespace

void RunDriverTask(const std::shared_ptr<DriverTask>& task, std::chrono::milliseconds deadline, QWidget* parent)
{
    auto run = std::make_shared<SharedRun>();
    run->task = task;
    // The thread holds the task: if nobody waits for it any more, it frees it when the driver returns.
    ++running;
    std::thread([run] {
        try {
            run->task->run();
        } catch (...) {
            run->error = std::current_exception();
        }
        run->done.store(true, std::memory_order_release);
        --running;
    }).detach();

    QElapsedTimer clock;
    clock.start();
    WaitBox box(parent);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(20);
    bool timedOut = false;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const qint64 elapsed = clock.elapsed();
        if (run->done.load(std::memory_order_acquire) || box.cancelled()) {
            loop.quit();
        } else if (elapsed >= deadline.count()) {
            timedOut = true;
            loop.quit();
        } else if (elapsed >= QuietMilliseconds) {
            box.showSeconds(elapsed);
            if (!box.isVisible())
                box.show();
        }
    });
    tick.start();
    // Until the box shows, the operator's input waits; then the modal box keeps it to itself.
    while (!run->done.load(std::memory_order_acquire) && !box.isVisible() && !timedOut && clock.elapsed() < QuietMilliseconds)
        loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    if (!run->done.load(std::memory_order_acquire) && !timedOut)
        loop.exec();
    tick.stop();
    box.hide();

    if (run->done.load(std::memory_order_acquire)) {
        if (run->error)
            std::rethrow_exception(run->error);
        return;
    }
    run->task->cancel();
    if (box.cancelled())
        throw DatabaseError(QStringLiteral("Подключение к серверу отменено."), QStringLiteral("HY008"), 0);
    throw DatabaseError(QStringLiteral("Сервер не ответил за %1 с.").arg(deadline.count() / 1000),
                        QStringLiteral("HYT00"), 0);
}

int DriverTasksRunning()
{
    return running.load();
}

std::chrono::milliseconds ConnectDeadline(const Connection& connection)
{
    using namespace std::chrono;
    if (connection.connectionTimeout() <= 0)
        return milliseconds::max();
    return seconds(connection.connectionTimeout()) + milliseconds(2000);
}

void OpenConnection(Connection& connection, QWidget* parent)
{
    const std::shared_ptr<DriverTask> task = connection.openTask();
    RunDriverTask(task, ConnectDeadline(connection), parent);
    connection.takeOver(*task);
}
