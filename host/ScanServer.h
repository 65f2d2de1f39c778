#pragma once
// One scan server process as a host drives it: started with its own pipes and console, asked
// one plug-in at a time, each answer within a time-out and checked against its request. A
// server that crashes is reported with what it left (exit code, dump, the library and thread
// the fault was in, whom it had served); one that hangs, blocks on a dialog or answers what it
// was not asked is retired, still running, for whoever judges it to end. No global state and
// no printing: every outcome comes back as a value. Servers never outlive the host's process.
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/ChildProcess.h"
#include "host/DialogRecord.h"
#include "host/ScanOutcome.h"

// The longest request a server reads, in bytes of UTF-8: 1024 with its line feed.
constexpr size_t kLongestRequest = 1023;

class CScanServer {
public:
    explicit CScanServer(CScanServerOptions options);
    ~CScanServer();
    CScanServer(const CScanServer&) = delete;
    CScanServer& operator=(const CScanServer&) = delete;

    // Scans one request: a DLL path, or "path>id" for one sub-plug-in of a shell (UTF-8).
    // Starts a process first when none runs. After a time-out, a block or a tainted answer the
    // process is Retired: it still runs, and takes no more requests.
    CScanOutcome Scan(const std::string& request);
    bool Running() const { return server.Running(); }
    bool Retired() const { return retired; }

    // Looks without waiting: its end, when the process ended since (a dump under way is waited
    // for). Output while no request is outstanding retires it.
    std::optional<CServerEnd> Poll();
    // Keeps the process while threads its plug-ins left run on, at least until `atLeast` and at
    // most until `until`; its end when it ends meanwhile.
    std::optional<CServerEnd> Settle(SteadyTime until, SteadyTime atLeast = {});
    // Whether threads that plug-ins it answered left behind still run in it; true too when the
    // process ended since the last Poll, which then gives its end.
    bool HasLeftoverThreads();
    // When its last plug-in answered; the epoch when none did.
    SteadyTime LastAnswer() const { return answered.empty() ? SteadyTime{} : answered.back().answered; }

    // Closes the request pipe, which asks the process to end; Stop then waits for it.
    void CloseRequests() { server.CloseRequests(); }
    void Stop();
    // Ends the process at once, with whatever runs in it.
    void Kill();

    // Server processes started by every CScanServer of this process.
    static unsigned ProcessesStarted();

private:
    enum class Answer { kAnswered, kEnded, kTimedOut, kTainted, kTooLarge, kBlocked };
    struct CSeenWindow {
        void* window;  // an HWND
        SteadyTime firstSeen;
        size_t record;  // in the outcome's dialogs
        bool pictured;
        int attempts;
    };

    bool Start(std::string& problem);
    bool AwaitReady(SteadyTime deadline);
    Answer Collect(const std::string& request, SteadyTime deadline, CScanOutcome& outcome,
                   std::vector<std::string>& reportLines);
    void OnAnswer(const std::string& request, const std::vector<std::string>& reportLines, CScanOutcome& outcome);
    void OnEnd(const std::string& request, const std::vector<std::string>& reportLines, CScanOutcome& outcome);
    void OnTimeout(const std::vector<std::string>& reportLines, CScanOutcome& outcome);
    // Looks at the windows the scan has opened and applies the policy; true when it blocks.
    bool WatchDialogs(const std::string& request, SteadyTime lastLine, std::vector<CSeenWindow>& seen,
                      CScanOutcome& outcome);
    // The process has ended: takes what it left (dumps, exit code and time) and lets it go.
    CServerEnd TakeEnd(const std::string& current);
    void Retire();
    void TakeConsole(CScanOutcome& outcome);
    std::set<uint32_t> ThreadIds() const;
    // Threads that appeared since the last look are the last answered plug-in's doing.
    void AttributeNewThreads(const std::set<uint32_t>& running);
    bool AnyLeftoverRuns(const std::set<uint32_t>& running) const;
    void DiscardPrivateFolder();
    bool DumpBegun() const;
    NativeText TakeDump(const std::string& owner, CServerEnd& end);
    NativeText PictureFile(const std::string& request) const;
    // Windows new since the request began, still open and not dismissed, after its answer.
    void NoteWindowsLeftOpen(CScanOutcome& outcome);

    CScanServerOptions options;
    NativeText privateDumpFolder;  // the running process's own, made anew for each one
    CChildProcess server;
    bool ready = false;              // it said "ready:" and waits for a request
    bool retired = false;
    bool asking = false;             // a request was sent and not answered
    bool endedByHost = false;        // ended by us after its output ended: it stopped answering
    std::set<uint32_t> serverThreads;   // its threads when it first said "ready:"
    std::set<uint32_t> knownThreads;    // every thread seen so far
    bool othersRunAtRequest = false; // threads earlier plug-ins left ran when the request was sent
    std::deque<CAnsweredRequest> answered;  // by this process
    int answeredCount = 0;
    std::optional<CServerEnd> idleEnd;  // found ended when a request was to be sent
    // The plug-in windows open when the request was sent: an earlier plug-in's, not its dialogs.
    // They are listed once a request, after its answer (listing them costs a round trip through
    // the wineserver for every window of the desktop).
    std::vector<void*> windowsBefore, windowsOpen;  // HWNDs
    std::vector<void*> dismissed;  // by the dialog watch during the request
    std::chrono::milliseconds timedOutAfter{0};  // the time-out or the cap a request ran out of
};

// The plug-in's file name without its extension, with a sub-plug-in id, fit for a file name.
NativeText FileTag(const std::string& request);
