#include "monitor/CommandRun.h"

#include "app/WaitCursor.h"
#include "data/connection/Connection.h"
#include "data/Query.h"
#include "monitor/CommandWaitBox.h"

#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A command that ends within this time shows nothing; the window just does not respond meanwhile.
constexpr auto WaitBoxDelay = 500ms;

} // namespace

bool RunCommandQuery(Query& command, QWidget* parent)
{
    std::promise<void> run;
    std::future<void> outcome = run.get_future();
    bool cancelled = false;
    {
        // Joined when the block is left, whatever leaves it: the run uses command and run.
        std::jthread worker([&command, &run] {
            try {
                command.open();
                run.set_value();
            } catch (...) {
                run.set_exception(std::current_exception());
            }
        });
        if (outcome.wait_for(WaitBoxDelay) != std::future_status::ready) {
            const WaitCursor cursor;
            CommandWaitBox box([&outcome] { return outcome.wait_for(0s) == std::future_status::ready; },
                               [&command] { command.connection()->cancel(); }, parent);
            box.exec();
            cancelled = box.Cancelled();
        }
    }
    if (cancelled)
        return false;
    outcome.get();
    return true;
}
