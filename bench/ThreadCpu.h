#pragma once

#include <ctime>

// The calling thread's own CPU time in milliseconds: on a shared machine it tells the work from the
// waiting.
inline double ThreadCpuMillis()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}
