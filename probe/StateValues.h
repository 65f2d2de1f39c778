#pragma once
// What the state stage sets a plug-in's parameters to, and how near a value read back must be
// to count as the same: a state is judged by the values it brings back, not by its bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "probe/CheckedPlugin.h"

// How far a value may lie from another and still be it: within half a step of a stepped
// parameter's range, a hundredth of a continuous one's (a plug-in may keep a value in its own
// units, degrees or decibels, and round it there).
double ValueTolerance(const CParameterInfo& info);
bool SameValue(const CParameterInfo& info, double a, double b);

// The end of its range farther from `current`, the one `seed` picks (advanced) when both lie
// as far; `current` itself when the range holds no other value.
double OtherValue(const CParameterInfo& info, double current, uint32_t& seed);

// A seed that is the same for the same plug-in in every run: from its parameters' names.
uint32_t StateSeed(const std::vector<CParameterInfo>& infos);
