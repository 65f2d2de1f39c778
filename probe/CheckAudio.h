#pragma once
// The audio side of a check, free of any platform: what goes into a plug-in (silence, then an
// impulse, then noise) and what is watched in what comes out (numbers that are not numbers,
// denormals, and where the output last rose above -120 dBFS).
#include <cstdint>

// What the output must fall below to count as silent: -120 dBFS.
constexpr double kSilentLevel = 1e-6;

// The input of a run at `position` of `length` samples: its first third silence, then one
// impulse, then noise at -6 dBFS. `noise` is the generator's state, kept by the caller.
double RunInput(int64_t position, int64_t length, uint32_t& noise);

struct COutputWatch {
    bool nonFinite = false;   // NaN or infinity seen
    int64_t denormals = 0;    // samples too small to be normal numbers, zero apart
    double peak = 0;          // the largest magnitude seen, non-finite ones apart
    int64_t lastLoud = -1;    // the position of the last sample above the silent level
    // The signed extremes seen, non-finite ones apart, when `range` is asked for (it costs a
    // little on every sample of every channel); lowest > highest before any.
    bool range = false;
    double lowest = 1e308, highest = -1e308;

    // What was seen moved by less than a tenth of its peak: a constant level, such as a DC
    // offset, rather than a sound.
    bool Steady() const { return lowest > highest || highest - lowest <= 0.1 * peak; }
};

// Watches `count` samples that begin at `position` of the run.
void WatchOutput(const float* samples, int32_t count, int64_t position, COutputWatch& watch);
void WatchOutput(const double* samples, int32_t count, int64_t position, COutputWatch& watch);
