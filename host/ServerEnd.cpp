#include "host/ServerEnd.h"

#include "protocol/CheckRequest.h"

#include "host/MinidumpReader.h"
#include "host/Paths.h"
#include "host/ServerFolder.h"

namespace {

bool SameLibrary(const std::string& request, const std::string& module)
{
    return !module.empty() && SameFile(RequestLibrary(request), module);
}

// The server's own executable, of either machine, with its window or without.
bool IsServerModule(const std::string& module)
{
    return SameFile(FileNameOf(module).substr(0, 11), "ScanServer-");
}

}  // namespace

std::string SignalName(uint32_t signal)
{
    // Linux's numbers, the same on every machine it runs plug-ins on here.
    static constexpr const char* kNames[] = {
        "",        "SIGHUP",  "SIGINT",    "SIGQUIT", "SIGILL",  "SIGTRAP", "SIGABRT", "SIGBUS",
        "SIGFPE",  "SIGKILL", "SIGUSR1",   "SIGSEGV", "SIGUSR2", "SIGPIPE", "SIGALRM", "SIGTERM",
        "SIGSTKFLT", "SIGCHLD", "SIGCONT", "SIGSTOP", "SIGTSTP", "SIGTTIN", "SIGTTOU", "SIGURG",
        "SIGXCPU", "SIGXFSZ", "SIGVTALRM", "SIGPROF", "SIGWINCH", "SIGIO",  "SIGPWR",  "SIGSYS"};
    if (signal > 0 && signal < sizeof(kNames) / sizeof(kNames[0])) return kNames[signal];
    return "signal " + std::to_string(signal);
}

std::string RequestLibrary(const std::string& request)
{
    if (const std::optional<CCheckRequest> check = ParseCheckRequest(request)) return check->path;
    return request.substr(0, request.find('>'));
}

std::string CServerEnd::Description() const
{
    if (exitCode == kStillRunning) return "the scan server stopped answering and was ended";
    if (IsKilledBySignal(exitCode)) return "the scan server was killed by " + SignalName(exitCode - kKilledBySignal);
    if (exitCode != kServerCrashExitCode) {
        std::string text = "the plug-in ended the scan server (exit code " + std::to_string(exitCode) + ")";
        // An exit code like an exception's: the system ended it for a crash nothing of ours saw.
        if (exitCode >= 0xC0000000) text += ": it crashed without a dump, exception " + ExceptionCodeText(exitCode);
        return text;
    }
    if (dumpFile.empty()) return "crashed (exit code 9)";
    std::string text = "crashed; dump written";
    if (exceptionCode) text += ": exception " + ExceptionCodeText(exceptionCode);
    if (!faultModule.empty()) text += " in " + FileNameOf(faultModule);
    return text;
}

bool CServerEnd::SameAs(const CServerEnd& other) const
{
    if (exitCode != other.exitCode) return false;
    // Only a crash the server caught (exit code 9) leaves a dump of its own; a process that a
    // plug-in ends otherwise may leave one its watchdog began while the process was torn down,
    // or not, as the race goes.
    if (exitCode != kServerCrashExitCode) return true;
    return exceptionCode == other.exceptionCode && dumpFile.empty() == other.dumpFile.empty();
}

bool CServerEnd::PointsAtCurrent() const
{
    if (current.empty() || dumpFile.empty()) return false;
    if (SameLibrary(current, faultModule)) return true;
    if (faultThread == 0 || NamedEarlier()) return false;
    // The server's own thread runs the request in hand, but also what earlier plug-ins left
    // on it: window procedures and timers of freed code, exception handlers. A fault there is
    // clear evidence only in the server's own code; in no module (freed code) or in a system
    // library it is confirmed alone.
    if (serverThreads.count(faultThread)) return IsServerModule(faultModule);
    // A thread nobody had seen before appeared while the request was scanned; but a thread an
    // earlier plug-in left may have started it (a timer firing, pool work, a thread of its own).
    return !othersRanAtRequest;
}

const CAnsweredRequest* CServerEnd::NamedEarlier() const
{
    if (dumpFile.empty()) return nullptr;
    for (auto entry = answered.rbegin(); entry != answered.rend(); ++entry)
        if (SameLibrary(entry->request, faultModule) || (faultThread && entry->threads.count(faultThread))) return &*entry;
    return nullptr;
}

