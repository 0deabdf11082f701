#include "app/DriverWait.h"

#include "app/ConnectWaitBox.h"
#include "app/RunAside.h"
#include "data/connection/Connection.h"
#include "data/DataErrors.h"
#include "data/connection/DriverTask.h"

namespace {

// A fast answer shows no box at all.
constexpr std::chrono::milliseconds QuietTime{300};

} // namespace

void WaitForDriver(const std::shared_ptr<DriverTask>& task, std::chrono::milliseconds deadline, QWidget* parent)
{
    AsideWait wait;
    wait.deadline = deadline;
    wait.cancel = [task] { task->cancel(); };
    wait.cancelEndsWait = true;
    wait.box = [parent] { return std::make_unique<ConnectWaitBox>(parent); };
    wait.boxDelay = QuietTime;
    switch (RunAside([task] { task->run(); }, wait)) {
    case AsideEnd::Done:
        return;
    case AsideEnd::Cancelled:
        throw DatabaseError(QStringLiteral("Подключение к серверу отменено."), QStringLiteral("HY008"), 0);
    case AsideEnd::TimedOut:
        break;
    }
    throw DatabaseError(QStringLiteral("Сервер не ответил за %1 с.").arg(deadline.count() / 1000),
                        QStringLiteral("HYT00"), 0);
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
    WaitForDriver(task, ConnectDeadline(connection), parent);
    connection.takeOver(*task);
}
