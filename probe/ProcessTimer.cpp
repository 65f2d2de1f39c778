#include "probe/ProcessTimer.h"

#include <algorithm>
#include <chrono>

#include "probe/ThreadClock.h"

namespace {

const double kLeastTimedCpu = std::max(0.05, 20 * kThreadClockTick);
constexpr int kMostTimedSeconds = 60;     // of audio
// The run's own length, the host's work included, on the wall clock: a plug-in of many buses
// that does nothing is timed no longer than a stage's time-out allows, on a busy machine too.
// Only when to stop is read from it, never the load.
constexpr double kMostWallSeconds = 1;

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void CProcessTimer::Start()
{
    cpuAtStart = ThreadCpuSeconds();
    if (firstWall < 0) firstWall = WallSeconds();
}

void CProcessTimer::Stop()
{
    cpu += ThreadCpuSeconds() - cpuAtStart;
}

bool CProcessTimer::Enough(int seconds) const
{
    if (seconds <= 0) return false;
    return seconds >= kMostTimedSeconds || WallSeconds() - firstWall >= kMostWallSeconds || cpu >= kLeastTimedCpu;
}

double CProcessTimer::Load(int seconds) const
{
    if (seconds <= 0) return -1;
    return cpu / seconds * 100;
}
