#pragma once
// One scan server process as a host drives it: started with its own pipes and console, asked
// one plug-in at a time, each answer within a time-out and checked against its request. A
// server that crashes or hangs is ended and reported with what it left (exit code, dump, the
// library the fault was in); the next Scan starts a new one. A server that answers what it was
// not asked is ended and the request asked again of a new one. No global state and no
// printing: every outcome comes back as a value. Servers never outlive the host's process.
#include <windows.h>

#include <chrono>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/ChildProcess.h"
#include "host/DialogWatch.h"
#include "host/ServerOutput.h"

enum class ScanStatus { kOk, kFailed, kCrashed, kTimedOut, kBlocked };
// "ok", "failed", "crashed", "timed out", "blocked" (by a dialog)
const char* ScanStatusName(ScanStatus status);

using SteadyTime = std::chrono::steady_clock::time_point;

// How a server process ended when we did not end it, and what it left behind.
struct CServerEnd {
    DWORD exitCode = STILL_ACTIVE;  // STILL_ACTIVE: it stopped answering and was ended
    std::wstring dumpFile;          // renamed after the plug-in it was taken for
    uint32_t exceptionCode = 0;     // from the dump
    std::string faultModule;        // the library the faulting address was in, from the dump
    SteadyTime when{};

    // "crashed; dump written: exception C0000005 (access violation) in x.dll", or "the
    // plug-in ended the scan server (exit code 0)".
    std::string Description() const;
};

struct CScanOutcome {
    ScanStatus status = ScanStatus::kFailed;
    CPluginReport report;            // complete for ok and failed, and for a crash after the answer
    std::string error;               // why it failed, crashed or timed out
    std::vector<std::string> trace;  // the info and warn lines, level included, in order
    DWORD exitCode = 0;              // of a crashed server
    uint32_t exceptionCode = 0;      // of a crash that left a dump
    std::wstring dumpFile;           // the minidump a crash left, if any
    std::string faultModule;         // the library a crash with a dump happened in
    bool afterScan = false;          // it crashed the server after its answer, from a thread it left
    std::string console;             // what it printed, made safe, the first 4 KiB
    size_t consoleDropped = 0;       // bytes printed beyond those
    int priorRequests = 0;           // requests the server had answered before this one
    std::vector<CDialogRecord> dialogs;  // the windows it opened while it was scanned
    double seconds = 0;
    // The host's own failure (no server could be started, a request it cannot send, a file
    // another program holds): no verdict on the plug-in, which should be scanned again.
    bool hostFailure = false;
};

struct CScanServerOptions {
    std::wstring serverPath;     // ScanServer-x64.exe
    std::wstring dumpFolder;     // where crash dumps are kept; empty: none
    HWND window = nullptr;       // the host's window: the splash shows on its monitor
    std::chrono::milliseconds timeout{30000};  // per request
    DialogPolicy dialogs = DialogPolicy::kReport;
    // How long a dialog may stay, with the server silent, before the report policy ends the scan.
    std::chrono::milliseconds dialogGrace{2000};
};

// A request this server process answered, kept while a late fault may still be its doing.
struct CAnsweredRequest {
    std::string request;
    SteadyTime answered;
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

    // A server that ended while no request was outstanding: its end, a dump it left included.
    // One that wrote while no request was outstanding is ended, with nothing to report.
    std::optional<CServerEnd> CheckIdle();
    // Keeps the server while threads its plug-ins left run on, at most until `until`; reports
    // its end when one of them ends it meanwhile.
    std::optional<CServerEnd> Settle(SteadyTime until);
    // Keeps the server until `until`, whatever runs in it; reports its end if it ends before.
    std::optional<CServerEnd> WaitForEnd(SteadyTime until);
    // The requests this server process answered in the last `window`, latest last.
    std::vector<CAnsweredRequest> RecentRequests(std::chrono::milliseconds window) const;
    // How the last server process ended, when a Scan saw it end.
    const std::optional<CServerEnd>& LastEnd() const { return lastEnd; }
    // A server that a Scan found ended before it could ask it, with the requests that process
    // had answered: the end is some earlier plug-in's doing. Taken once.
    struct CIdleEnd {
        CServerEnd end;
        std::vector<CAnsweredRequest> answered;
    };
    std::optional<CIdleEnd> TakeIdleEnd() { return std::exchange(idleEnd, std::nullopt); }

private:
    enum class Answer { kAnswered, kEnded, kTimedOut, kTainted, kBlocked };
    struct CSeenWindow {
        HWND window;
        SteadyTime firstSeen;
        size_t record;  // in the outcome's dialogs
        bool pictured;
    };

    bool Start(std::string& problem);
    bool AwaitReady(SteadyTime deadline);
    Answer Collect(const std::string& request, SteadyTime deadline, CScanOutcome& outcome,
                   std::vector<std::string>& reportLines);
    void OnAnswer(const std::string& request, const std::vector<std::string>& reportLines, CScanOutcome& outcome);
    void OnEnd(const std::string& request, CScanOutcome& outcome);
    void OnTimeout(CScanOutcome& outcome);
    // Looks at the windows the scan has opened and applies the policy; true when it blocks.
    bool WatchDialogs(const std::string& request, SteadyTime lastLine, std::vector<CSeenWindow>& seen,
                      CScanOutcome& outcome);
    // Ends the process (asked to leave, or killed) and takes what it left: console, dumps.
    CServerEnd End(bool kill, const std::string& request);
    void TakeConsole(CScanOutcome& outcome);
    std::set<DWORD> ThreadIds() const;
    bool HasNewThreads() const;
    bool DumpBegun() const;
    std::wstring TakeDump(const std::string& request, CServerEnd& end);

    CScanServerOptions options;
    std::wstring privateDumpFolder;  // this server's own, so that no two servers share a dump name
    CChildProcess server;
    bool ready = false;              // it said "ready:" and waits for a request
    std::set<DWORD> baselineThreads;  // its threads when it first said "ready:"
    std::deque<CAnsweredRequest> answered;  // by this process
    int answeredCount = 0;
    std::optional<CServerEnd> lastEnd;
    std::optional<CIdleEnd> idleEnd;
};

// The library part of a request ("path>id" gives the path).
std::string RequestLibrary(const std::string& request);
