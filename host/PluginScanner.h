#pragma once
// Scans a list of plug-in libraries with several scan servers at once. A crash or a hang costs
// only the plug-in that caused it: its server is replaced and the scan goes on with the next
// plug-in, so nothing is scanned twice and nothing is skipped. A shell's sub-plug-ins are each
// scanned as "path>id" right after the shell, on the server that keeps its library loaded.
#include <functional>
#include <string>
#include <vector>

#include "host/ScanServer.h"

struct CPluginScan {
    std::string request;  // the path, or "path>id" for a sub-plug-in (UTF-8)
    CScanOutcome outcome;
    std::vector<CPluginScan> subPlugins;  // of a shell, in the order the shell listed them
};

struct CPluginScannerOptions {
    CScanServerOptions server;
    int jobs = 1;
};

struct CPluginScannerCallbacks {
    // Called from the scanning threads, one call at a time.
    std::function<void(size_t index, const std::string& path)> started;
    std::function<void(size_t index, const CPluginScan& scan)> finished;
    // Called on the scanning thread just before `finished`, without waiting for the other
    // threads' callbacks: for slow work, such as saving, that must not hold the others up.
    std::function<void(size_t index, const CPluginScan& scan)> finishedOnThread;
};

// The request that names one sub-plug-in of a shell.
std::string SubPluginRequest(const std::string& path, uint32_t id);

// Scans every path; the results come back in the order of `paths`.
std::vector<CPluginScan> ScanPlugins(const std::vector<std::string>& paths, const CPluginScannerOptions& options,
                                     const CPluginScannerCallbacks& callbacks = {});
