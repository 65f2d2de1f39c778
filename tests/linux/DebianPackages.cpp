#include "tests/linux/DebianPackages.h"

#include <cstdio>

const char* const kDebianPluginPackages[5] = {"lsp-plugins-vst", "dpf-plugins-vst", "dragonfly-reverb-vst",
                                              "iem-plugin-suite-vst", "zam-plugins"};

std::set<std::string> DebianPackagePaths(std::string& missing)
{
    std::set<std::string> paths;
    for (const char* package : kDebianPluginPackages) {
        std::string listed;
        if (FILE* pipe = popen((std::string("dpkg -L ") + package + " 2>/dev/null").c_str(), "r")) {
            char chunk[4096];
            while (size_t count = fread(chunk, 1, sizeof(chunk), pipe)) listed.append(chunk, count);
            pclose(pipe);
        }
        if (listed.empty()) missing += std::string(missing.empty() ? "" : ", ") + package;
        size_t start = 0;
        for (size_t end; (end = listed.find('\n', start)) != std::string::npos; start = end + 1)
            paths.insert(listed.substr(start, end - start));
    }
    return paths;
}

const std::map<std::string, std::vector<std::string>>& DebianCheckFaults()
{
    static const std::map<std::string, std::vector<std::string>> faults = [] {
        std::map<std::string, std::vector<std::string>> found = {
            // DPF's VST 3 of a plug-in without parameters writes a state of one byte and refuses it.
            {"ZamAutoSat.vst3", {"failed in state: loading its own state failed: the component's setState failed (result 0x00000004)"}},
            {"MaBitcrush-vst.so", {"warnings in audio: output channel 2 holds a constant level of -0.0833 (-21.6 dBFS) after the input ends: a DC offset"}},
            // Gain-reduction meters, read-only, flagged automatable.
            {"ZaMultiComp.vst3", {"warnings in parameters: 34 parameters and 3 hidden ones, not set, 7 read-only: parameter 34 \"Gain Reduction 1\" is both automatable and read-only"}},
            {"ZaMultiCompX2.vst3", {"warnings in parameters: 36 parameters and 3 hidden ones, not set, 8 read-only: parameter 36 \"Gain Reduction 1\" is both automatable and read-only"}},
            // Automation from the audio thread: it writes past the block it was given.
            {"libDirectionalCompressor.so", {"crashed in automation at 48000 Hz", "crashed in random parameter values at 48000 Hz",
                                             "failed in automation: process failed with"}},
            // After a run at 384 kHz it faults, mostly in the next run, at 48 kHz, now and then not
            // at all; without that rate it passes.
            {"libGranularEncoder.so", {"passed", "crashed in process at"}},
            // Races: a value set from the main thread frees what process uses; a state loaded
            // while processing rebuilds the convolver under the audio thread.
            {"libFdnReverb.so", {"passed", "crashed in values set from the main thread while processing", "crashed in state while processing"}},
            {"ZamVerb.vst3", {"passed", "crashed in state while processing", "crashed in values set from the main thread while processing"}},
            {"ZamVerb-vst.so", {"passed", "crashed in state while processing", "crashed in values set from the main thread while processing"}},
            {"ZamVerb.clap", {"failed in state: it keeps no state", "crashed in state while processing"}}};
        // ZamGrains' delay overruns its buffer at 384 kHz: a crash there or in the run after it,
        // NaN, or nothing to see.
        for (const char* file : {"ZamGrains.vst3", "ZamGrains-vst.so"})
            found[file] = {"passed", "crashed in process at", "failed in audio: NaN or infinity in the output at 384000 Hz"};
        // zam's CLAP plug-ins offer parameters but no clap.state: a host cannot restore them.
        for (const auto& [name, count] : std::map<std::string, int>{
                 {"ZaMaximX2", 3}, {"ZaMultiComp", 27}, {"ZaMultiCompX2", 28}, {"ZamComp", 8}, {"ZamCompX2", 9}, {"ZamDelay", 8},
                 {"ZamDynamicEQ", 15}, {"ZamEQ2", 12}, {"ZamGEQ31", 30}, {"ZamGate", 7}, {"ZamGateX2", 7}, {"ZamGrains", 6},
                 {"ZamHeadX2", 3}, {"ZamPhono", 2}, {"ZamTube", 7}, {"ZamVerb", 3}})
            found[name + ".clap"].push_back("failed in state: it keeps no state, and a host restores it only from its state: the " +
                                            std::to_string(count) + " parameters it shows are lost with every session");
        found["ZamGrains.clap"].push_back("crashed in process at");
        found["ZamGrains.clap"].push_back("failed in audio: NaN or infinity in the output at 384000 Hz");
        return found;
    }();
    return faults;
}

bool DebianCheckVerdictExpected(const std::string& file, const std::string& verdict)
{
    const auto fault = DebianCheckFaults().find(file);
    if (fault == DebianCheckFaults().end()) return verdict == "passed";
    for (const std::string& start : fault->second)
        if (verdict.rfind(start, 0) == 0) return true;
    return false;
}
