#include "probe/StateValues.h"

#include <cmath>

namespace {

// xorshift32: small, and the same on every machine.
uint32_t Next(uint32_t& seed)
{
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return seed;
}

}  // namespace

double ValueTolerance(const CParameterInfo& info)
{
    const double range = std::fabs(info.maximum - info.minimum);
    if (info.steps > 0) return 0.5 * range / info.steps;
    return 1e-3 * (range > 0 ? range : 1);
}

bool SameValue(const CParameterInfo& info, double a, double b) { return std::fabs(a - b) <= ValueTolerance(info); }

double OtherValue(const CParameterInfo& info, double current, uint32_t& seed)
{
    const double range = info.maximum - info.minimum;
    if (!(range > 0) || !std::isfinite(range)) return current;
    for (int attempt = 0; attempt < 4; ++attempt) {
        double fraction = 0.1 + 0.8 * (Next(seed) / 4294967296.0);
        if (info.steps > 0) fraction = std::round(fraction * info.steps) / info.steps;
        const double value = info.minimum + fraction * range;
        if (!SameValue(info, value, current)) return value;
    }
    // The end farther from it: a switch of two steps has no other choice.
    return std::fabs(current - info.minimum) > std::fabs(current - info.maximum) ? info.minimum : info.maximum;
}

uint32_t StateSeed(const std::vector<CParameterInfo>& infos)
{
    uint32_t seed = 2166136261u;  // FNV-1a
    for (const CParameterInfo& info : infos)
        for (char16_t unit : info.name) seed = (seed ^ unit) * 16777619u;
    return seed != 0 ? seed : 1;
}
