#pragma once
// What a check found out about one plug-in: each stage as it ended, and the facts gathered on
// the way. Made empty, filled by the check as it goes, each stage written the moment it ends.
#include <cstdint>
#include <string>
#include <vector>

// "passed", "warning", "failed" or "skipped".
struct CCheckStage {
    std::u16string stage;    // "open", "process", "audio", "parameters", "state", "editor", "close"
    const char16_t* result = u"passed";
    std::u16string details;  // what failed or was doubtful, or what was done
};

constexpr int32_t kUnknownFact = -1;

struct CCheckResult {
    const char16_t* format = u"";    // "vst2", "vst3" or "clap"
    std::vector<CCheckStage> stages;
    int32_t parameters = kUnknownFact;        // those a host shows
    int32_t hiddenParameters = kUnknownFact;  // flagged hidden: never shown nor automated
    int32_t programs = kUnknownFact;          // those a host lists
    int32_t latency = kUnknownFact;  // samples, as announced once active
    double tailSeconds = -1;         // measured: from the input's end to the output's last sample above -120 dBFS
    double announcedTail = -1;       // seconds, as announced once active; -1 when not said or endless
    int32_t midiIn = kUnknownFact, midiOut = kUnknownFact;  // 1 or 0: what the plug-in answered once open
    bool editor = false, audio64 = false;
    std::u16string sampleRates;      // those it passed, "44100|48000|96000"
    std::u16string blockSizes;       // "1|64|512|4096|varying"
    std::u16string layouts;          // those it accepted and passed in, "1>1|2>2|2>1" (main input>output channels)
    double load = -1;                // CPU time of process per second of audio at 48 kHz, 512 a block, % of a core
    bool headWritten = false;
};
