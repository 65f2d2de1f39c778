#pragma once
// Scans a list of plug-in libraries with several scan servers at once, one server per job and
// machine, kept while its plug-ins behave. A crash or a hang costs only the plug-in that
// caused it, and every verdict is the plug-in's own (the rules are in host/Blame.h). A shell's
// sub-plug-ins are each scanned as "path>id" right after the shell, on the server that keeps
// its library loaded. Each file goes to the server of its machine type, read from its header.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/ScanOutcome.h"

struct CPluginScan {
    std::string request;  // the path, or "path>id" for a sub-plug-in (UTF-8)
    std::string arch;     // "x64" or "x86": the server that scanned it; empty when none could
    std::string format;   // "vst2", "vst3" or "clap"
    std::string bundle;   // the VST 3 bundle folder the binary lies in; empty for a file of its own
    CScanOutcome outcome;
    // With checks asked for: of a plug-in that scanned ok (a file of one plug-in, or each
    // sub-plug-in), its check. Read its verdict with host/CheckVerdict.h.
    std::optional<CScanOutcome> check;
    // Of a shell, in the order the shell listed them, each scanned on its own; of a VST 3 module
    // or a CLAP file, its plug-ins as the one scan of the file found them.
    std::vector<CPluginScan> subPlugins;
};

struct CPluginScannerOptions {
    CScanServerOptions server;      // its serverPath is the 64-bit server
    NativeText serverPathX86;       // the 32-bit server; empty or missing: 32-bit files fail
    int jobs = 1;
    // Every plug-in that scans ok is checked too, on the same servers, its editor opened with
    // checkEditor (the server then needs a display).
    bool check = false;
    bool checkEditor = false;
    // A server that ends this long after a plug-in's answer may still be that plug-in's doing.
    std::chrono::milliseconds lateFaultWindow{10000};
    // How long the re-checks of one server's end may take in all.
    std::chrono::milliseconds recheckLimit{30000};
};

struct CPluginScannerCallbacks {
    // Called from the scanning threads, one call at a time.
    std::function<void(size_t index, const std::string& path)> started;
    std::function<void(size_t index, const CPluginScan& scan)> finished;
    // A result given to `finished` before turned out wrong: its plug-in crashed the server after
    // its answer. One call at a time, like `finished`.
    std::function<void(size_t index, const CPluginScan& scan)> revised;
    // Called on the scanning thread just before `finished` and `revised`, without waiting for
    // the other threads' callbacks: for slow work, such as saving, that must not hold them up.
    std::function<void(size_t index, const CPluginScan& scan)> finishedOnThread;
    // A server died after these plug-ins, and none of them could be shown to be its cause. One
    // call at a time, like `finished`.
    std::function<void(const CUnexplainedEnd& end)> unexplained;
    // With checks asked for: whether this plug-in (the file's or a sub-plug-in's scan, with its
    // request) is to be checked; all are when it is not set. From the scanning threads.
    std::function<bool(size_t index, const CPluginScan& plugin)> wantsCheck;
};

// The request that names one sub-plug-in of a shell.
std::string SubPluginRequest(const std::string& path, uint32_t id);

// Scans every path; the results come back in the order of `paths`.
std::vector<CPluginScan> ScanPlugins(const std::vector<std::string>& paths, const CPluginScannerOptions& options,
                                     const CPluginScannerCallbacks& callbacks = {});
