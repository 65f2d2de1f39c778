#pragma once
// A child process that reads requests from a pipe of ours and writes its output to another,
// with a thread of ours collecting that output. The scan server's client and the test host
// both start servers this way. The system's side stands in a file for each platform.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/ExitCodes.h"
#include "host/NativeText.h"

#if defined(_WIN32)
using CommandText = std::wstring;  // one command line, as CreateProcessW takes it
#else
using CommandText = std::vector<std::string>;  // the program, then its arguments
#endif

struct CChildStart {
    // The command, made from the child's two pipe ends as bare hexadecimal numbers.
    std::function<CommandText(const NativeText& requestEnd, const NativeText& outputEnd)> commandLine;
    // In a job (Windows) or process group of its own, together with every process it starts:
    // ended with it. A job also ends it with us.
    bool ownJob = false;
    // The output pipe is also the child's standard output.
    bool outputIsStandardOutput = false;
    // The child's standard output and error go to a pipe of ours, kept apart from the output
    // (its standard input is the null device): whatever it, or a library it loads, prints.
    bool captureConsole = false;
};

// What the child printed on its console, up to a limit; the rest is counted.
struct CConsoleText {
    std::string text;
    size_t dropped = 0;
};

class CChildProcess {
public:
    CChildProcess();
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Only the child's two pipe ends are inherited. False, with the reason ("error N" when the
    // system refused to create the process, which StartError then gives), when it could not start.
    bool Start(const CChildStart& how, std::string& problem);
    uint32_t StartError() const { return startError; }
    bool Running() const { return running; }
    // The process's HANDLE on Windows; null elsewhere.
    void* Process() const;
    bool HasExited();

    bool Write(const std::string& bytes);
    // Closing the request pipe asks the child to end.
    void CloseRequests();

    // The next complete line (without its line feed), taken out of the output; nothing when
    // the deadline passed first, or when the output ended (then `ended` is set).
    std::optional<std::string> NextLine(std::chrono::steady_clock::time_point deadline, bool& ended);
    // Waits until `done` holds for the output not yet taken as lines, the output ends, or the
    // time is up; gives what `done` says then.
    bool WaitForOutput(const std::function<bool(const std::string& output)>& done, std::chrono::milliseconds limit);
    std::string Output();
    // Output that arrived and was not taken as lines yet.
    bool HasUntakenOutput();
    // A line longer than the limit arrived: the output is no longer kept, and cannot be trusted.
    bool Overflowed();
    // From now on the output is read and thrown away: for a process we no longer ask anything.
    void DiscardOutput();
    // The console text since the last call, at most `keep` bytes of it.
    CConsoleText TakeConsole(size_t keep);

    // The exit code once the process has ended, else kStillRunning after waiting `waitMs`. A
    // process a signal ended gives the exception code of that signal, as a crash on Windows.
    uint32_t WaitForExit(uint32_t waitMs);
    // When it ended, on the steady clock; now when the system cannot say.
    std::chrono::steady_clock::time_point ExitTime() const;
    // Ends every process of its job but the child itself, which keeps what it is doing.
    void EndJobHelpers();
    void Terminate(uint32_t exitCode);
    // Ends it: closes the request pipe, waits `waitMs` for it to leave (or not at all when
    // `kill`), terminates it and its job, and releases everything.
    void End(bool kill, uint32_t waitMs);

    // The child's process id, for the windows and threads that belong to it.
    uint32_t ProcessId() const;
    // Its job's HANDLE on Windows; null elsewhere.
    void* Job() const;

private:
    struct CNative;  // the system's handles, in the platform's file

    // Reads what the console pipe holds now, without waiting; false once it has ended.
    // Called with the lock held.
    bool DrainConsole();
    void KeepConsole(const char* bytes, size_t count);
    void Keep(const char* bytes, size_t count);
    void WatchConsole();
    // Resets what a started process collects.
    void Begin();
    // Ends the console watcher, once the process is gone.
    void StopConsoleWatch();

    std::unique_ptr<CNative> native;
    bool running = false;
    std::thread reader;
    std::thread consoleReader;
    std::string console;
    size_t consoleDropped = 0;
    bool consoleEnded = false;
    bool stopping = false;  // the console watcher is to end
    std::condition_variable stopWake;
    std::mutex lock;
    std::condition_variable changed;
    std::string output;     // received and not yet taken as lines
    size_t lineStart = 0;   // where the next line search starts in `output`
    bool outputEnded = false;
    bool overflowed = false;
    bool discarding = false;
    uint32_t startError = 0;
};

// For a host that is about to end: every child it started with a job of its own ends, with
// everything in its group, and off Windows every process it adopted as a subreaper (a daemon a
// plug-in started) too. Windows' jobs end with the host by themselves.
void EndEveryChild();

// The longest output line kept; a longer one cannot come from a scan server.
constexpr size_t kLongestOutputLine = 1 << 20;

// A handle or number as the bare lower-case hexadecimal the server's arguments take.
NativeText HexArgumentText(uint64_t value);
