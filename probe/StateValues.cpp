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
    return 1e-2 * (range > 0 ? range : 1);
}

bool SameValue(const CParameterInfo& info, double a, double b) { return std::fabs(a - b) <= ValueTolerance(info); }

double OtherValue(const CParameterInfo& info, double current, uint32_t& seed)
{
    const double range = info.maximum - info.minimum;
    if (!(range > 0) || !std::isfinite(range)) return current;
    // An end of the range: a value every parameter takes as it is, a switch or a stepped one
    // too, where a host that knows no steps (VST 2) would set one between two.
    const double low = std::fabs(current - info.minimum), high = std::fabs(current - info.maximum);
    if (SameValue(info, low, high)) return Next(seed) & 1 ? info.maximum : info.minimum;
    return low > high ? info.minimum : info.maximum;
}

uint32_t StateSeed(const std::vector<CParameterInfo>& infos)
{
    uint32_t seed = 2166136261u;  // FNV-1a
    for (const CParameterInfo& info : infos)
        for (char16_t unit : info.name) seed = (seed ^ unit) * 16777619u;
    return seed != 0 ? seed : 1;
}
