#pragma once
// Decisions the probe takes from a plug-in's answers.
#include <cstdint>
#include <string>

// Capability answers are 1 yes, 0 don't know, -1 no; anything but -1 counts as yes.
bool CapabilityAnswerIsYes(intptr_t answer);

// A synth flag forces category 2; an unknown category is told by the inputs (none: a synth).
int32_t CorrectCategory(int32_t answer, int32_t flags, int32_t numInputs);

// A request names a library, optionally followed by ">" and a sub-plug-in id in hex digits.
struct CRequestPath {
    std::u16string libraryPath;
    int32_t shellId = 0;
};
CRequestPath SplitRequestPath(const std::u16string& request);
