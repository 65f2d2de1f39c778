#pragma once
// Reading what a scan server writes: lines with a level in front, and the JSON-like report
// made of the ">" lines, parsed into a typed record. Platform-free.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One output line split at its first colon: "info", "warn", "error", ">" or "ready".
struct CServerLine {
    std::string level;
    std::string text;  // without the line feed
};
CServerLine SplitServerLine(std::string_view line);

struct CSubPluginEntry {
    uint32_t id = 0;
    std::string name;  // UTF-8
};

// One audio bus of a VST 3 class, or one audio port of a CLAP plug-in.
struct CBusEntry {
    std::string name;
    bool input = false;
    bool main = false;            // main, as opposed to aux (a sidechain, extra outputs)
    int32_t channels = 0;         // kUnknownChannels: the plug-in's number was absurd
    bool controlVoltage = false;  // VST 3: control voltage, no audio
};

// One class of a VST 3 module, or one plug-in of a CLAP file. Texts are UTF-8.
struct CModuleEntry {
    std::string id;  // VST 3: 32 hex digits in GUID text order; CLAP: the descriptor's id
    std::string name, vendor, version;
    std::string category;       // VST 3: the class category; CLAP: the features joined with "|"
    std::string subCategories;  // VST 3: "Fx|Delay"
    std::string sdkVersion;     // VST 3
    std::string description, url;  // CLAP
    int32_t cardinality = 0;
    bool plugin = false;        // a plug-in, as opposed to a controller or another class
    int32_t numInputs = 0, numOutputs = 0;  // kUnknownChannels: the plug-in's number was absurd
    bool wantsMidi = false, sendsMidi = false;
    std::string error;          // why this plug-in could not be read
    std::string note;           // what the server cut or doubted
    std::vector<CBusEntry> buses;  // every audio bus or port; numInputs/numOutputs are the main ones
};

// One stage of a check as the server ended it.
struct CCheckStageEntry {
    std::string stage;    // "open", "process", "audio", "parameters", "state", "editor", "close"
    std::string result;   // "passed", "warning", "failed", "skipped"
    std::string details;
};

// What a check gathered on the way; -1 where the server wrote null (not measured).
struct CCheckFacts {
    int32_t parameters = -1;    // those a host shows
    int32_t hiddenParameters = -1;
    int32_t programs = -1;      // those it lists
    int32_t latency = -1;       // samples
    double tailSeconds = -1;    // measured
    double announcedTail = -1;  // seconds
    int32_t midiIn = -1, midiOut = -1;  // 1 or 0 as the plug-in answered once open
    bool editor = false, audio64 = false;
    std::string sampleRates;    // those it passed, "44100|48000|96000"
    std::string blockSizes;     // "1|64|512|4096|varying"
    std::string layouts;        // accepted main bus layouts, "1>1|2>2" (input>output channels)
    double load = -1;           // % of one core at 48 kHz, 512 a block
};

// A channel count the server wrote as null.
constexpr int32_t kUnknownChannels = -1;

// The report of one scan. Texts are UTF-8.
struct CPluginReport {
    std::string format;  // "vst3" or "clap" for those files' reports; empty for a VST 2 one
    uint32_t id = 0;
    std::string name, vendor, product, version, error, platform;
    std::string url, email;  // a VST 3 module's factory
    std::vector<CModuleEntry> entries;  // a module's classes, a CLAP file's plug-ins
    std::string notes;                  // a module's: what the server cut
    int32_t numInputs = 0, numOutputs = 0;
    bool wantsMidi = false, sendsMidi = false, audio64 = false, synthEdit = false;
    int32_t category = -1;
    std::vector<CSubPluginEntry> subPlugins;  // the "shells" block, in the server's order
    // A check's report: the format checked, its stages so far and its facts.
    std::string check;
    std::vector<CCheckStageEntry> stages;
    CCheckFacts facts;

    bool IsShell() const { return category == 10; }
};

// Parses the texts of the ">" lines, from "{" to "}". Accepts the trailing commas the server
// writes. Returns nothing, with a reason in `problem`, when the report is not complete or a
// field cannot be read.
std::optional<CPluginReport> ParsePluginReport(const std::vector<std::string>& lines, std::string* problem = nullptr);
// What a module's or a check's report held when its server crashed or hung before the
// report's end: its head and the classes or stages written so far. Nothing for other reports.
std::optional<CPluginReport> ParsePartialModuleReport(const std::vector<std::string>& lines);

// Undoes the report's string escaping: \" \\ \/ \b \f \n \r \t and \uXXXX (UTF-16 units,
// pairs of surrogates joined), giving UTF-8. False for an escape it does not know.
bool UnescapeReportString(std::string_view escaped, std::string& text);
