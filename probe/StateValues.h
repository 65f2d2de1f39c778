#pragma once
// What the state stage sets a plug-in's parameters to, and how near a value read back must be
// to count as the same: a state is judged by the values it brings back, not by its bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "probe/CheckedPlugin.h"

// How far a value may lie from another and still be it: within half a step of a stepped
// parameter's range, a thousandth of a continuous one's.
double ValueTolerance(const CParameterInfo& info);
bool SameValue(const CParameterInfo& info, double a, double b);

// A value of its range other than `current`, picked by `seed` (advanced), inside the range,
// on a step for a stepped parameter; `current` itself when the range holds no other.
double OtherValue(const CParameterInfo& info, double current, uint32_t& seed);

// A seed that is the same for the same plug-in in every run: from its parameters' names.
uint32_t StateSeed(const std::vector<CParameterInfo>& infos);
