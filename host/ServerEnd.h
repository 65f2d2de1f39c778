#pragma once
// The facts about a scan server's end that a verdict is drawn from: how the process ended, what
// its dump says of the fault, and whom the process had served, with the threads each plug-in
// left behind. No process handling here: the facts are gathered by CScanServer and judged by
// CBlame.
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "host/ExitCodes.h"
#include "host/NativeText.h"

using SteadyTime = std::chrono::steady_clock::time_point;

// A request a server process answered, with the threads that appeared in the process from
// its request until the next one: those its plug-in left behind.
struct CAnsweredRequest {
    std::string request;
    SteadyTime answered;
    std::set<uint32_t> threads;
};

// "SIGKILL" for 9: a signal by its name, off Windows.
std::string SignalName(uint32_t signal);

// How a server process ended when we did not end it, what it left behind, and whom it had
// served: the evidence a verdict is drawn from.
struct CServerEnd {
    uint32_t exitCode = kStillRunning;  // kStillRunning: it stopped answering and was ended
    NativeText dumpFile;            // renamed after the plug-in it was taken for
    uint32_t exceptionCode = 0;     // from the dump
    std::string faultModule;        // the library the faulting address was in, from the dump
    uint32_t faultThread = 0;          // the thread the dump says faulted; 0: it does not say
    SteadyTime when{};              // when it failed: its dump was begun, or else the process ended

    std::string current;                     // the request outstanding then; empty when idle
    std::vector<CAnsweredRequest> answered;  // by that process, latest last
    std::set<uint32_t> serverThreads;           // its own, from before its first request
    bool othersRanAtRequest = false;         // threads earlier plug-ins left ran when `current` was sent

    // "crashed; dump written: exception C0000005 (access violation) in x.dll", or "the
    // plug-in ended the scan server (exit code 0)".
    std::string Description() const;
    // Ended the same way: the exit code, and for a crash the server caught (exit code 9) the
    // exception and whether a dump was written.
    bool SameAs(const CServerEnd& other) const;
    // What the dump says of whose fault it was: the current request's, by the library or the
    // thread it names (a thread first seen during the request only when no thread an earlier
    // plug-in left ran then). False when it names nothing, or someone else.
    bool PointsAtCurrent() const;
    // The answered request whose library or threads the dump names, if any.
    const CAnsweredRequest* NamedEarlier() const;
};

// The library part of a request ("path>id" gives the path).
std::string RequestLibrary(const std::string& request);
