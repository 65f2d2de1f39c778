#pragma once
// Counts a plug-in of a module format gives: read as its format's type, used only up to a
// bound, and never believed beyond what any plug-in could have. Each cut leaves a note.
#include <cstdint>
#include <string>
#include <vector>

#include "report/ModuleResult.h"

// Every loop over what a plug-in lists stops at these.
constexpr int64_t kMostBuses = 256;
constexpr int64_t kMostClasses = 4096;
// No bus or port has more channels than this; a larger number is no answer.
constexpr int64_t kMostChannels = 1024;

// How many of `claimed` to read: at most `bound`, none when it is negative; a note says so.
int64_t CountToRead(int64_t claimed, int64_t bound, const char16_t* what, std::u16string& note);
// The channels of a bus or port, or kUnknownCount with a note when the number is absurd.
int32_t ChannelCount(int64_t claimed, const char16_t* what, std::u16string& note);
// The channels of the first main bus or port of a direction that carries audio (a
// control-voltage bus carries none): a plug-in's inputs or outputs.
int32_t MainChannels(const std::vector<CModuleBus>& buses, bool input);
