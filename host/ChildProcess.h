#pragma once
// A child process that reads requests from a pipe of ours and writes its output to another,
// with a thread of ours collecting that output. The scan server's client and the test host
// both start servers this way.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct CChildStart {
    // The command line, made from the child's two pipe ends as bare hexadecimal numbers.
    std::function<std::wstring(const std::wstring& requestEnd, const std::wstring& outputEnd)> commandLine;
    // In a job of its own, together with every process it starts: ended with it, and with us.
    bool ownJob = false;
    // The output pipe is also the child's standard output.
    bool outputIsStandardOutput = false;
    // The child's standard output and error go to a pipe of ours, kept apart from the output
    // (its standard input is the NUL device): whatever it, or a DLL it loads, prints.
    bool captureConsole = false;
};

// What the child printed on its console, up to a limit; the rest is counted.
struct CConsoleText {
    std::string text;
    size_t dropped = 0;
};

class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Only the child's two pipe ends are inherited. False, with the reason ("error N" when the
    // system refused to create the process, which StartError then gives), when it could not start.
    bool Start(const CChildStart& how, std::string& problem);
    DWORD StartError() const { return startError; }
    bool Running() const { return process != nullptr; }
    HANDLE Process() const { return process; }
    bool HasExited() const { return process == nullptr || WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

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

    // The exit code once the process has ended, else STILL_ACTIVE after waiting `waitMs`.
    DWORD WaitForExit(DWORD waitMs);
    // When it ended, on the steady clock; now when the system cannot say.
    std::chrono::steady_clock::time_point ExitTime() const;
    // Ends every process of its job but the child itself, which keeps what it is doing.
    void EndJobHelpers();
    void Terminate(DWORD exitCode);
    // Ends it: closes the request pipe, waits `waitMs` for it to leave (or not at all when
    // `kill`), terminates it and its job, and releases everything.
    void End(bool kill, DWORD waitMs);

    // The child's process id, for the windows and threads that belong to it.
    DWORD ProcessId() const { return process ? GetProcessId(process) : 0; }
    HANDLE Job() const { return job; }

private:
    bool DrainConsole();
    void Keep(const char* bytes, DWORD count);
    void WatchConsole();
    // Reads the pipe until it ends, handing each chunk to `take` under the lock.
    void ReadPipe(HANDLE pipe, HANDLE& threadHandle, bool& ended, const std::function<void(const char*, DWORD)>& take);
    // Waits for a reader thread; one still blocked after a while has its read cancelled, so
    // that a process outside our reach holding a pipe end cannot make us wait for ever.
    void StopReader(std::thread& thread, HANDLE& threadHandle, const bool& ended);

    HANDLE job = nullptr;
    HANDLE process = nullptr;
    HANDLE requestWrite = nullptr;
    HANDLE outputRead = nullptr;
    std::thread reader;
    HANDLE readerThread = nullptr;
    HANDLE consoleRead = nullptr;
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
    DWORD startError = 0;
};

// The longest output line kept; a longer one cannot come from a scan server.
constexpr size_t kLongestOutputLine = 1 << 20;

// A moment the system gave as a UTC file time, on the steady clock; now when it is unset or ahead.
std::chrono::steady_clock::time_point SteadyTimeOf(const FILETIME& utc);

// A handle or number as the bare lower-case hexadecimal the server's arguments take.
std::wstring HexArgumentText(uint64_t value);
