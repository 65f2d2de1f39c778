#pragma once
// Progress on standard error: a bar that redraws itself on a terminal, one plain line per
// finished plug-in otherwise, and the closing summary. Texts from plug-ins and paths are
// made safe for a terminal first.
#include <chrono>
#include <string>

#include "scanner/Records.h"

class CProgress {
public:
    CProgress(size_t total, bool terminal);
    void Started(const std::string& path);
    void Finished(const Json& record);
    // A result already shown turned out otherwise: its plug-in crashed the server after its scan.
    void Revised(const Json& record);
    // Files taken from the database: unchanged ones, and known bad ones skipped.
    void Unchanged(size_t count, size_t knownBad);
    // A server died after some plug-ins, and none of them could be shown to be its cause.
    void Unexplained(const std::string& machine, const std::vector<std::string>& suspects, const std::string& how,
                     const std::string& dump, const std::string& why);
    // A folder that could not be listed: its plug-ins, if any, are not scanned.
    void Unlistable(const std::string& folder, const std::string& why);
    void Summary(const std::vector<Json>& records, size_t unchanged, size_t knownBad);

private:
    void Draw();
    void PrintChecks(const Json& record);

    size_t total, done = 0, failures = 0, unexplained = 0, unlistable = 0;
    bool terminal;
    std::string current;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};
