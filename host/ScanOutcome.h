#pragma once
// What a host gets for each plug-in it has scanned, and how it asks for scans: the outcome
// value (status, report, error, crash evidence, dialogs, console), the options of one server.
// Part of the host library's public headers.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "host/DialogRecord.h"
#include "host/ServerEnd.h"
#include "host/ServerOutput.h"

enum class ScanStatus { kOk, kFailed, kCrashed, kTimedOut, kBlocked };
// "ok", "failed", "crashed", "timed out", "blocked" (by a dialog)
const char* ScanStatusName(ScanStatus status);

struct CScanOutcome {
    ScanStatus status = ScanStatus::kFailed;
    CPluginReport report;            // complete for ok and failed, and for a crash after the answer
    std::string error;               // why it failed, crashed or timed out
    std::vector<std::string> trace;  // the info and warn lines, level included, in order
    uint32_t exitCode = 0;           // of a crashed server
    uint32_t exceptionCode = 0;      // of a crash that left a dump
    NativeText dumpFile;             // the minidump a crash left, if any
    std::string faultModule;         // the library a crash with a dump happened in
    bool afterScan = false;          // it crashed the server after its answer, from a thread it left
    std::string console;             // what it printed, made safe, the first 4 KiB
    size_t consoleDropped = 0;       // bytes printed beyond those
    int priorRequests = 0;           // requests the server had answered before this one
    std::vector<CDialogRecord> dialogs;  // the windows it opened while it was scanned
    double seconds = 0;              // from the request to its answer
    // The host's own failure (no server could be started, a request it cannot send, a file
    // another program holds): no verdict on the plug-in, which should be scanned again.
    bool hostFailure = false;
    // Its answer did not fit its request: something else wrote into the server's output.
    bool tainted = false;
    // What it left behind: windows of its code after its library was freed, or windows it
    // opened and left open. Its server is retired: the next plug-in gets a fresh one.
    std::string leftBehind;
    std::optional<CServerEnd> end;   // how the server ended while it was asked
    // Of a check that crashed, hung or blocked: the stage and setting it was in, "process at
    // 96000 Hz, blocks of 1".
    std::string checkStage;
};

struct CScanServerOptions {
    NativeText serverPath;       // ScanServer-x64.exe, ScanServer-linux-x86_64
    NativeText dumpFolder;       // where crash dumps and dialog pictures are kept; empty: none
    std::string machine = "x64";  // the server's machine, in the names of what it leaves
    void* window = nullptr;      // the host's window (an HWND): the splash shows on its monitor
    std::chrono::milliseconds timeout{30000};  // per request
    std::chrono::milliseconds startTimeout{30000};  // for the server to start and say it is ready
    DialogPolicy dialogs = DialogPolicy::kReport;
    // How long a dialog may stay, with the server silent, before the report policy ends the scan.
    std::chrono::milliseconds dialogGrace{2000};
    // Checks: the time-out holds for each stage and setting, up to this in all.
    std::chrono::milliseconds longestCheck{600000};
};

// A server that died after some plug-ins' answers, without one of them shown to be its cause.
struct CUnexplainedEnd {
    std::string machine;                // "x64" or "x86"
    std::vector<std::string> suspects;  // the requests it had answered lately, latest last
    std::string description;            // how it ended
    NativeText dumpFile;                // what it left, if anything
    std::string why;                    // why nobody is blamed
};
