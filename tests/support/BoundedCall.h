#pragma once

// Runs what must return, failing the test run instead of hanging when it does not.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

inline void BoundedCall(const char* what, const std::function<void()>& call)
{
    using namespace std::chrono_literals;
    std::atomic<bool> done{false};
    std::thread watchdog([&done, what] {
        for (int i = 0; i < 300 && !done; ++i)
            std::this_thread::sleep_for(100ms);
        if (!done) {
            std::fprintf(stderr, "FAIL: %s did not return within 30 s\n", what);
            std::_Exit(1);
        }
    });
    call();
    done = true;
    watchdog.join();
}
