#pragma once
// Times a plug-in's process calls, and nothing of the host's work between them, for its load,
// on the thread's own CPU clock alone: the wall clock would count what other processes of a
// busy machine take. The clock is read around every call and summed until the calls have taken
// enough of it to repeat within a few per cent: 20 ticks where it moves in ticks of 10 ms (Wine)
// or 15.6 ms (Windows), and QueryThreadCycleTime fails, so that a light plug-in runs longer
// there; 50 ms on Linux, read to the nanosecond. At most a minute of audio is timed, and for at
// most a second on the wall clock (which says when to stop, never what the load is).
#include <cstdint>

class CProcessTimer {
public:
    void Start();
    void Stop();
    // True once `seconds` of audio have been timed well enough, or as long as a check may spend.
    bool Enough(int seconds) const;
    // The share of one core the calls took over `seconds` of audio, in per cent.
    double Load(int seconds) const;

private:
    double cpu = 0;                       // summed over the calls
    double cpuAtStart = 0;
    double firstWall = -1;                // when the first call began
};

// Times one call of the plug-in's with `timer`, when there is one.
class CTimedCall {
public:
    explicit CTimedCall(CProcessTimer* timer) : timer(timer)
    {
        if (timer) timer->Start();
    }
    ~CTimedCall()
    {
        if (timer) timer->Stop();
    }
    CTimedCall(const CTimedCall&) = delete;
    CTimedCall& operator=(const CTimedCall&) = delete;

private:
    CProcessTimer* timer;
};
