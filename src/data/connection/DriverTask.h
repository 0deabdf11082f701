#pragma once

// A slow call into a driver, packed so that it can run on a thread of its own and be abandoned
// there: the task owns everything it uses, so the caller may give up waiting and go on, and the
// task frees what it holds when the driver finally returns.
class DriverTask {
public:
    virtual ~DriverTask() = default;
    // Any thread. Throws DatabaseError with the driver's message.
    virtual void run() = 0;
    // Any thread, also while run() is under way: asks the driver to give up.
    virtual void cancel() = 0;
};
