#pragma once
// One scan server process as a host drives it: started with two pipes, asked one plug-in at a
// time, each answer within a time-out. A server that crashes or hangs is reported for the
// plug-in it was scanning and ended; the next Scan starts a new one. No global state and no
// printing: every outcome comes back as a value. Servers never outlive the host's process.
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/ChildProcess.h"
#include "host/ServerOutput.h"

enum class ScanStatus { kOk, kFailed, kCrashed, kTimedOut };
const char* ScanStatusName(ScanStatus status);  // "ok", "failed", "crashed", "timed out"

struct CScanOutcome {
    ScanStatus status = ScanStatus::kFailed;
    CPluginReport report;            // complete for ok and failed
    std::string error;               // why it failed, crashed or timed out
    std::vector<std::string> trace;  // the info and warn lines, level included, in order
    DWORD exitCode = 0;              // of a crashed server
    std::wstring dumpFile;           // the minidump a crash left, if any
    double seconds = 0;
    // The host's own failure (no server could be started, a request it cannot send): no
    // verdict on the plug-in, which should be scanned again.
    bool hostFailure = false;
};

struct CScanServerOptions {
    std::wstring serverPath;     // ScanServer-x64.exe
    std::wstring dumpFolder;     // where crash dumps are kept; empty: none
    HWND window = nullptr;       // the host's window: the splash shows on its monitor
    std::chrono::milliseconds timeout{30000};  // per request
};

class CScanServer {
public:
    explicit CScanServer(CScanServerOptions options);
    ~CScanServer();
    CScanServer(const CScanServer&) = delete;
    CScanServer& operator=(const CScanServer&) = delete;

    // Scans one request: a DLL path, or "path>id" for one sub-plug-in of a shell (UTF-8).
    CScanOutcome Scan(const std::string& request);
    // Closes the request pipe and waits for the server to end.
    void Stop();
    bool Running() const { return server.Running(); }

private:
    bool Start(std::string& problem);
    void End(bool kill);
    bool DumpBegun() const;
    std::wstring TakeDump(const std::string& request);

    CScanServerOptions options;
    std::wstring privateDumpFolder;  // this server's own, so that no two servers share a dump name
    CChildProcess server;
    bool ready = false;  // it said "ready:" and waits for a request
};
