#pragma once
// The CPU time the calling thread has taken, in seconds: what a plug-in's process calls cost,
// whatever else the machine runs meanwhile.
double ThreadCpuSeconds();
// How far the clock moves at once: a nanosecond on Linux, a scheduler tick on Windows (15.6 ms,
// 10 ms under Wine).
extern const double kThreadClockTick;
