#include "monitor/CommandRun.h"

#include "app/RunAside.h"
#include "data/connection/Connection.h"
#include "data/Query.h"
#include "monitor/CommandWaitBox.h"

namespace {

// A command that ends within this time shows nothing.
constexpr std::chrono::milliseconds WaitBoxDelay{500};

} // namespace

bool OpenCommandQuery(Query& command, QWidget* parent)
{
    AsideWait wait;
    // Cancel asks the server to stop the statement; the wait lasts until the run lets go of command.
    wait.cancel = [&command] { command.connection()->cancel(); };
    wait.box = [parent] { return std::make_unique<CommandWaitBox>(parent); };
    wait.boxDelay = WaitBoxDelay;
    return RunAside([&command] { command.open(); }, wait) == AsideEnd::Done;
}
