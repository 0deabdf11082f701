#pragma once

#include <chrono>
#include <memory>

class Connection;
class DriverTask;
class QWidget;

// Runs task on a thread of its own and waits for it while the interface goes on painting; after a
// moment a box shows "Подключение к серверу ..." with the elapsed seconds and a Cancel button.
// Returns once the task has run, or rethrows its error. When the deadline passes or the operator
// cancels, the task is asked to give up and let go, and a DatabaseError says so.
void RunDriverTask(const std::shared_ptr<DriverTask>& task, std::chrono::milliseconds deadline, QWidget* parent);

// How many tasks that RunDriverTask started have not returned yet, let-go ones included.
int DriverTasksRunning();

// The caller's deadline for a connect: the login time-out plus two seconds, for drivers that do
// not keep their own time-out against every server; none when the time-out is 0 (no limit).
std::chrono::milliseconds ConnectDeadline(const Connection& connection);

// Connection::open() off the user-interface thread under ConnectDeadline().
void OpenConnection(Connection& connection, QWidget* parent);
