#include "host/ScanServer.h"

#include <atomic>
#include <optional>

#include "host/Paths.h"
#include "host/WindowsText.h"

namespace {

constexpr char kReadyLine[] = "ready:";
constexpr DWORD kExitWaitMs = 5000;
// A server that has begun a crash dump is given this long to finish it (Wine takes seconds).
constexpr DWORD kDumpGraceMs = 60000;
constexpr std::chrono::milliseconds kPollInterval{200};

// The plug-in's file name without ".dll", with a sub-plug-in id, fit for a file name.
std::wstring DumpTag(const std::string& request)
{
    std::wstring tag = FromUtf8(FileNameOf(request));
    const size_t marker = tag.find(L'>');
    std::wstring id = marker == std::wstring::npos ? L"" : L"-" + tag.substr(marker + 1);
    if (marker != std::wstring::npos) tag.erase(marker);
    if (tag.size() > 4 && _wcsicmp(tag.c_str() + tag.size() - 4, L".dll") == 0) tag.erase(tag.size() - 4);
    tag += id;
    for (wchar_t& c : tag)
        if (wcschr(L"<>:\"/\\|?*", c) || c < 32) c = L'_';
    return tag;
}

std::atomic<unsigned> ServerCounter{0};

}  // namespace

const char* ScanStatusName(ScanStatus status)
{
    switch (status) {
    case ScanStatus::kOk: return "ok";
    case ScanStatus::kFailed: return "failed";
    case ScanStatus::kCrashed: return "crashed";
    case ScanStatus::kTimedOut: return "timed out";
    }
    return "unknown";
}

CScanServer::CScanServer(CScanServerOptions chosen) : options(std::move(chosen))
{
    if (!options.dumpFolder.empty()) {
        CreateDirectoryW(options.dumpFolder.c_str(), nullptr);
        privateDumpFolder = options.dumpFolder + L"\\.server-" + HexArgumentText(GetCurrentProcessId()) + L"-" + HexArgumentText(ServerCounter++);
    }
}

CScanServer::~CScanServer()
{
    Stop();
    if (!privateDumpFolder.empty()) RemoveDirectoryW(privateDumpFolder.c_str());
}

bool CScanServer::Start(std::string& problem)
{
    if (!privateDumpFolder.empty()) CreateDirectoryW(privateDumpFolder.c_str(), nullptr);
    CChildStart how;
    how.commandLine = [&](const std::wstring& requestEnd, const std::wstring& outputEnd) {
        std::wstring line = QuoteArgument(options.serverPath) + L" " + requestEnd + L" " + outputEnd + L" " +
                            HexArgumentText(reinterpret_cast<uintptr_t>(options.window));
        if (!privateDumpFolder.empty()) line += L" " + QuoteArgument(privateDumpFolder);
        return line;
    };
    // Each server runs in a job of its own, together with whatever processes its plug-ins start.
    // Those may hold the server's pipe ends; ending the job ends them all, so the output always
    // comes to an end. The job also ends the server if the host itself goes away.
    how.ownJob = true;
    std::string why;
    if (!server.Start(how, why)) {
        problem = "cannot start the scan server (" + why + ")";
        return false;
    }
    return true;
}

void CScanServer::End(bool kill)
{
    server.End(kill, kExitWaitMs);
    ready = false;
}

void CScanServer::Stop() { End(false); }

bool CScanServer::DumpBegun() const
{
    if (privateDumpFolder.empty()) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((privateDumpFolder + L"\\*.mdmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

std::wstring CScanServer::TakeDump(const std::string& request)
{
    if (privateDumpFolder.empty()) return L"";
    std::wstring kept;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((privateDumpFolder + L"\\*.mdmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return L"";
    do {
        // Named after the plug-in, so that dumps of crashes in the same second stay apart.
        const std::wstring name(found.cFileName);
        const std::wstring stem = name.substr(0, name.size() - 5) + L"-" + DumpTag(request);
        std::wstring target = options.dumpFolder + L"\\" + stem + L".mdmp";
        for (int n = 2; GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
            target = options.dumpFolder + L"\\" + stem + L"-" + std::to_wstring(n) + L".mdmp";
        if (MoveFileExW((privateDumpFolder + L"\\" + name).c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED)) kept = target;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return kept;
}

CScanOutcome CScanServer::Scan(const std::string& request)
{
    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + options.timeout;
    CScanOutcome outcome;
    auto finish = [&](ScanStatus status) {
        outcome.status = status;
        outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return outcome;
    };
    if (request.find_first_of("\r\n") != std::string::npos) {
        outcome.error = "a request cannot hold a line break";
        outcome.hostFailure = true;
        return finish(ScanStatus::kFailed);
    }
    // A server that ended after its last answer is not this plug-in's doing.
    if (server.Running() && server.HasExited()) End(false);
    std::string problem;
    if (!server.Running() && !Start(problem)) {
        outcome.error = problem;
        outcome.hostFailure = true;
        return finish(ScanStatus::kFailed);
    }

    // The server announces itself, then says it is ready before every request; the answer
    // runs up to the next "ready:".
    bool sent = false;
    std::vector<std::string> reportLines;
    auto send = [&] {
        server.Write(request + "\n");
        sent = true;
        ready = false;
    };
    // Takes one line; true when it completed the answer.
    auto take = [&](const std::string& line) {
        if (line == kReadyLine) {
            if (sent) return ready = true;
            send();
            return false;
        }
        if (!sent) return false;  // the banner
        const CServerLine parsed = SplitServerLine(line);
        if (parsed.level == ">") reportLines.push_back(parsed.text);
        else if (parsed.level == "error" && outcome.error.empty()) outcome.error = parsed.text;
        else outcome.trace.push_back(line);
        return false;
    };
    auto answer = [&] {
        std::string why;
        auto report = ParsePluginReport(reportLines, &why);
        if (!report) {
            outcome.error = "unreadable report: " + why;
            return finish(ScanStatus::kFailed);
        }
        outcome.report = std::move(*report);
        return finish(outcome.error.empty() ? ScanStatus::kOk : ScanStatus::kFailed);
    };
    if (ready) send();

    // The output ends when the server does, unless a process a plug-in started holds its pipe;
    // so the server itself is watched too.
    bool serverGone = false, timedOut = false;
    while (!serverGone && !timedOut) {
        const auto now = std::chrono::steady_clock::now();
        bool ended = false;
        if (std::optional<std::string> line = server.NextLine(std::min(deadline, now + kPollInterval), ended)) {
            if (take(*line)) return answer();
            continue;
        }
        serverGone = ended || server.HasExited();
        timedOut = !serverGone && std::chrono::steady_clock::now() >= deadline;
    }
    // Past the deadline with a dump begun, it is no hang: the server is crashing, and a dump
    // can take longer to write than the deadline allows (seconds under Wine).
    if (timedOut && DumpBegun() && server.WaitForExit(kDumpGraceMs) != STILL_ACTIVE) serverGone = true;
    if (!serverGone) {
        End(true);
        char limit[48];
        snprintf(limit, sizeof(limit), "no answer within %.1f s", static_cast<double>(options.timeout.count()) / 1000.0);
        outcome.error = limit;
        return finish(ScanStatus::kTimedOut);
    }

    // What the server wrote before it went is still worth having: it shows where it crashed.
    bool ended = false;
    while (std::optional<std::string> line = server.NextLine(std::chrono::steady_clock::now() + kPollInterval, ended))
        if (take(*line)) break;
    outcome.exitCode = server.WaitForExit(kExitWaitMs);
    End(false);
    outcome.dumpFile = TakeDump(request);
    outcome.error = "the scan server ended with exit code " + std::to_string(outcome.exitCode);
    return finish(ScanStatus::kCrashed);
}
