#pragma once
// Times a plug-in's process calls, and nothing of the host's work between them, for its load.
// The thread's CPU clock moves in ticks of 10 ms under Wine (15.6 ms on Windows) and has no
// finer reading there (QueryThreadCycleTime fails), so it is read around every call and summed
// until it has moved enough ticks to repeat within a few per cent; a light plug-in, whose
// calls add up to less than a tick in a second, is timed on the wall clock around the same calls.
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
    double cpu = 0, wall = 0;             // summed over the calls
    double cpuAtStart = 0, wallAtStart = 0;
    double firstCpu = -1, lastCpu = 0;    // the thread's clock at the first and the last call
};
