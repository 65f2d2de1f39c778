#include "probe/ThreadClock.h"

#include <ctime>

const double kThreadClockTick = 1e-9;

// Read to the nanosecond on Linux, where Windows' clock moves in ticks.
double ThreadCpuSeconds()
{
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
