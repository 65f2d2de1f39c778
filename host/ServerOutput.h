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

// The report of one scan. Texts are UTF-8.
struct CPluginReport {
    uint32_t id = 0;
    std::string name, vendor, product, version, error, platform;
    int32_t numInputs = 0, numOutputs = 0;
    bool wantsMidi = false, sendsMidi = false, audio64 = false, synthEdit = false;
    int32_t category = -1;
    std::vector<CSubPluginEntry> subPlugins;  // the "shells" block, in the server's order

    bool IsShell() const { return category == 10; }
};

// Parses the texts of the ">" lines, from "{" to "}". Accepts the trailing commas the server
// writes. Returns nothing, with a reason in `problem`, when the report is not complete or a
// field cannot be read.
std::optional<CPluginReport> ParsePluginReport(const std::vector<std::string>& lines, std::string* problem = nullptr);

// Undoes the report's string escaping: \" \\ \/ \b \f \n \r \t and \uXXXX (UTF-16 units,
// pairs of surrogates joined), giving UTF-8. False for an escape it does not know.
bool UnescapeReportString(std::string_view escaped, std::string& text);
