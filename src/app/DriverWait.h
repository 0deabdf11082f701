#pragma once

#include <chrono>
#include <memory>

class Connection;
class DriverTask;
class QWidget;

// Runs task aside (RunAside) and waits for it while the interface goes on painting; after a moment
// a ConnectWaitBox shows. Returns once the task has run, or rethrows its error. When the deadline
// passes or the operator cancels, the task is asked to give up and let go, and a DatabaseError says so.
void WaitForDriver(const std::shared_ptr<DriverTask>& task, std::chrono::milliseconds deadline, QWidget* parent);

// The caller's deadline for a connect: the login time-out plus two seconds, for drivers that do
// not keep their own time-out against every server; none when the time-out is 0 (no limit).
std::chrono::milliseconds ConnectDeadline(const Connection& connection);

// Connection::open() off the user-interface thread under ConnectDeadline().
void OpenConnection(Connection& connection, QWidget* parent);
