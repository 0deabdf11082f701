#pragma once

#include <chrono>
#include <functional>
#include <memory>

class WaitBox;

// How a wait aside ended.
enum class AsideEnd { Done, Cancelled, TimedOut };

// How the user-interface thread waits for work aside: the windows go on painting and serving their
// workers' calls, and the operator's input waits until a box shows.
struct AsideWait {
    // Past it the wait gives up at once, the work is asked to give up and is left to end alone.
    std::chrono::milliseconds deadline = std::chrono::milliseconds::max();
    // Asks the work to give up; from the box's Cancel, and at the deadline.
    std::function<void()> cancel;
    // The operator's Cancel ends the wait at once, leaving the work to end alone; otherwise the
    // wait lasts until the work has ended.
    bool cancelEndsWait = false;
    // Makes the modal box that shows once the wait has lasted boxDelay; none without it.
    std::function<std::unique_ptr<WaitBox>()> box;
    std::chrono::milliseconds boxDelay{0};
};

// Waits on the user-interface thread until ended() holds, the deadline passes or the operator
// cancels. A Cancel after the end does not count.
AsideEnd WaitAside(const std::function<bool()>& ended, const AsideWait& wait);

// Runs work on a thread of its own and waits for it with WaitAside; rethrows the work's error when
// it ended. Work that the wait may leave behind (a deadline, a Cancel that ends the wait) must own
// everything it uses.
AsideEnd RunAside(std::function<void()> work, const AsideWait& wait = {});

// How many works RunAside started have not returned yet, those left behind included.
int AsideWorksGoing();
