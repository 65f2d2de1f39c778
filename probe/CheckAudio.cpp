#include "probe/CheckAudio.h"

#include <cmath>

namespace {

template <typename Sample>
void Watch(const Sample* samples, int32_t count, int64_t position, COutputWatch& watch)
{
    if (samples == nullptr) return;
    for (int32_t i = 0; i < count; ++i) {
        const Sample value = samples[i];
        switch (std::fpclassify(value)) {
        case FP_NAN:
        case FP_INFINITE: watch.nonFinite = true; continue;
        case FP_SUBNORMAL: ++watch.denormals; break;
        default: break;
        }
        const double signedValue = static_cast<double>(value);
        const double magnitude = std::fabs(signedValue);
        if (magnitude > watch.peak) watch.peak = magnitude;
        if (watch.range && signedValue < watch.lowest) watch.lowest = signedValue;
        if (watch.range && signedValue > watch.highest) watch.highest = signedValue;
        if (magnitude > kSilentLevel) watch.lastLoud = position + i;
    }
}

}  // namespace

double RunInput(int64_t position, int64_t length, uint32_t& noise)
{
    const int64_t third = length / 3;
    if (position < third) return 0;
    if (position == third) return 1;
    if (position < 2 * third) return 0;
    noise = noise * 1664525u + 1013904223u;  // a fixed generator: every run is the same
    return (static_cast<double>(noise >> 8) / static_cast<double>(1u << 24) - 0.5);
}

void WatchOutput(const float* samples, int32_t count, int64_t position, COutputWatch& watch)
{
    Watch(samples, count, position, watch);
}

void WatchOutput(const double* samples, int32_t count, int64_t position, COutputWatch& watch)
{
    Watch(samples, count, position, watch);
}
