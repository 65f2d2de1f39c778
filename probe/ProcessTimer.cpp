#include "probe/ProcessTimer.h"

#include <chrono>

#include "probe/ThreadClock.h"

namespace {

constexpr double kLeastTimedCpu = 0.32;   // 20 ticks of Windows' clock, 32 of Wine's
constexpr double kLightShare = 0.01;      // below 1% of a core (less than a tick a second) the wall clock times the calls
constexpr int kMostTimedSeconds = 60;     // of audio
constexpr double kMostCpuSpent = 10;      // seconds of the thread's time, the host's work included

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void CProcessTimer::Start()
{
    cpuAtStart = ThreadCpuSeconds();
    if (firstCpu < 0) firstCpu = cpuAtStart;
    wallAtStart = WallSeconds();
}

void CProcessTimer::Stop()
{
    wall += WallSeconds() - wallAtStart;
    lastCpu = ThreadCpuSeconds();
    cpu += lastCpu - cpuAtStart;
}

bool CProcessTimer::Enough(int seconds) const
{
    if (seconds <= 0) return false;
    if (seconds >= kMostTimedSeconds || lastCpu - firstCpu >= kMostCpuSpent) return true;
    // Light by the CPU clock: the wall clock also counts what the calls waited for (a line
    // printed to a pipe), which is no reason to time them longer.
    return cpu >= kLeastTimedCpu || cpu < kLightShare * seconds;
}

double CProcessTimer::Load(int seconds) const
{
    if (seconds <= 0) return -1;
    return (cpu >= kLeastTimedCpu ? cpu : wall) / seconds * 100;
}
