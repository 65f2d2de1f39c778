#include "host/ScanServer.h"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>

#include "host/LoadErrors.h"
#include "host/MinidumpReader.h"
#include "host/Paths.h"
#include "host/SafeText.h"
#include "host/WindowsText.h"
#include "protocol/Utf8.h"

namespace {

constexpr char kReadyLine[] = "ready:";
constexpr char kScanningPrefix[] = "info:Scanning plugin: '";
constexpr DWORD kExitWaitMs = 5000;
constexpr DWORD kCrashExitCode = 9;
// A server that has begun a crash dump is given this long to finish it (Wine takes seconds).
constexpr DWORD kDumpGraceMs = 60000;
constexpr std::chrono::milliseconds kPollInterval{200};
constexpr std::chrono::milliseconds kSettlePoll{50};
constexpr size_t kConsoleKeep = 4096;
constexpr size_t kRecentRequests = 64;
constexpr char kLoadFailure[] = "Failed to load library, err=";
// Dialogs are looked for only once a request has taken this long: a fast scan costs nothing.
constexpr std::chrono::milliseconds kDialogWatchInterval{200};
constexpr size_t kMostDismissed = 5;

std::atomic<unsigned> ServerCounter{0};

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

// What the server wrote first for a request: its text as the server decoded it, line breaks
// escaped as it escapes them.
std::string ScanningLine(const std::string& request)
{
    return kScanningPrefix + ToUtf8(Utf8ToUtf16(request)) + "'";
}

}  // namespace

const char* ScanStatusName(ScanStatus status)
{
    switch (status) {
    case ScanStatus::kOk: return "ok";
    case ScanStatus::kFailed: return "failed";
    case ScanStatus::kCrashed: return "crashed";
    case ScanStatus::kTimedOut: return "timed out";
    case ScanStatus::kBlocked: return "blocked";
    }
    return "unknown";
}

std::string RequestLibrary(const std::string& request) { return request.substr(0, request.find('>')); }

std::string CServerEnd::Description() const
{
    if (exitCode == STILL_ACTIVE) return "the scan server stopped answering and was ended";
    if (exitCode != kCrashExitCode) {
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

CScanServer::CScanServer(CScanServerOptions chosen) : options(std::move(chosen))
{
    if (!options.dumpFolder.empty()) {
        CreateDirectoryW(options.dumpFolder.c_str(), nullptr);
        // Unique across runs too: Wine gives out small process ids again and again.
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        privateDumpFolder = options.dumpFolder + L"\\.server-" + HexArgumentText(GetCurrentProcessId()) + L"-" +
                            HexArgumentText(static_cast<uint64_t>(now.QuadPart)) + L"-" + HexArgumentText(ServerCounter++);
    }
}

CScanServer::~CScanServer() { Stop(); }

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
    // Ending the job ends them all; the job also ends the server if the host itself goes away.
    how.ownJob = true;
    // What plug-ins print, and the system's crash reports, never reach the host's own output.
    how.captureConsole = true;
    std::string why;
    if (!server.Start(how, why)) {
        problem = "cannot start the scan server (" + why + ")";
        return false;
    }
    ready = false;
    answered.clear();
    answeredCount = 0;
    return true;
}

void CScanServer::Stop()
{
    if (server.Running()) End(false, answered.empty() ? std::string() : answered.back().request);
    if (!privateDumpFolder.empty()) RemoveDirectoryW(privateDumpFolder.c_str());
}

CServerEnd CScanServer::End(bool kill, const std::string& request)
{
    CServerEnd end;
    end.when = std::chrono::steady_clock::now();
    // The exit code only counts once the process has ended; one still running is ended here.
    if (!kill) {
        server.CloseRequests();
        end.exitCode = server.WaitForExit(kExitWaitMs);
    }
    server.End(kill || end.exitCode == STILL_ACTIVE, kExitWaitMs);
    ready = false;
    if (!request.empty()) end.dumpFile = TakeDump(request, end);
    if (!privateDumpFolder.empty()) RemoveDirectoryW(privateDumpFolder.c_str());
    return end;
}

std::optional<CServerEnd> CScanServer::CheckIdle()
{
    if (!server.Running()) return std::nullopt;
    if (server.HasExited()) return End(false, answered.empty() ? std::string() : answered.back().request);
    // Output nobody asked for: whatever wrote it, this server's answers cannot be trusted.
    if (server.HasUntakenOutput()) End(true, "");
    return std::nullopt;
}

std::optional<CServerEnd> CScanServer::Settle(SteadyTime until)
{
    const std::string last = answered.empty() ? std::string() : answered.back().request;
    while (server.Running()) {
        if (server.WaitForExit(static_cast<DWORD>(kSettlePoll.count())) != STILL_ACTIVE) return End(false, last);
        // A dump begun is a crash under way: it is waited for, however long it takes to write.
        if (DumpBegun() && server.WaitForExit(kDumpGraceMs) != STILL_ACTIVE) return End(false, last);
        if (std::chrono::steady_clock::now() >= until || !HasNewThreads()) break;
    }
    return std::nullopt;
}

std::optional<CServerEnd> CScanServer::WaitForEnd(SteadyTime until)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (!server.Running()) return std::nullopt;
    // A dump begun by then is a crash under way: it is waited for.
    if (server.WaitForExit(static_cast<DWORD>(std::max<long long>(0, left.count()))) == STILL_ACTIVE &&
        !(DumpBegun() && server.WaitForExit(kDumpGraceMs) != STILL_ACTIVE))
        return std::nullopt;
    return End(false, answered.empty() ? std::string() : answered.back().request);
}

std::vector<CAnsweredRequest> CScanServer::RecentRequests(std::chrono::milliseconds window) const
{
    const SteadyTime since = std::chrono::steady_clock::now() - window;
    std::vector<CAnsweredRequest> recent;
    for (const auto& entry : answered)
        if (entry.answered >= since) recent.push_back(entry);
    return recent;
}

std::set<DWORD> CScanServer::ThreadIds() const
{
    std::set<DWORD> ids;
    const DWORD process = server.ProcessId();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == process) ids.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

// Threads by identity, not by number: a thread of the system's that ended since start-up must
// not hide one a plug-in left.
bool CScanServer::HasNewThreads() const
{
    for (DWORD id : ThreadIds())
        if (!baselineThreads.count(id)) return true;
    return false;
}

bool CScanServer::DumpBegun() const
{
    if (privateDumpFolder.empty()) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((privateDumpFolder + L"\\*.mdmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

// Every dump the ended process wrote goes out of its private folder, named after the plug-in
// its fault was in: one of the recent requests when the dump names that library, else `request`.
std::wstring CScanServer::TakeDump(const std::string& request, CServerEnd& end)
{
    if (privateDumpFolder.empty()) return L"";
    std::wstring kept;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((privateDumpFolder + L"\\*.mdmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return L"";
    do {
        const std::wstring name(found.cFileName);
        const std::wstring source = privateDumpFolder + L"\\" + name;
        std::string owner = request, bytes;
        if (ReadFileBytes(source, bytes)) {
            if (const auto summary = ReadMinidump(bytes)) {
                end.exceptionCode = summary->exceptionCode;
                if (const CDumpModule* module = summary->ModuleAt(summary->exceptionAddress)) end.faultModule = module->path;
                for (const auto& entry : answered)
                    if (!end.faultModule.empty() && _stricmp(RequestLibrary(entry.request).c_str(), end.faultModule.c_str()) == 0)
                        owner = entry.request;
            }
        }
        const std::wstring stem = name.substr(0, name.size() - 5) + L"-" + DumpTag(owner);
        std::wstring target = options.dumpFolder + L"\\" + stem + L".mdmp";
        for (int n = 2; GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
            target = options.dumpFolder + L"\\" + stem + L"-" + std::to_wstring(n) + L".mdmp";
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED)) kept = target;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return kept;
}

bool CScanServer::AwaitReady(SteadyTime deadline)
{
    bool ended = false;
    while (!ready) {
        const std::optional<std::string> line = server.NextLine(deadline, ended);
        if (!line) return false;
        ready = *line == kReadyLine;  // after the banner
    }
    if (answeredCount == 0) baselineThreads = ThreadIds();
    return true;
}

// The answer to one request: its "Scanning plugin" line first, then the trace, at most one
// report, and "ready:". Anything else did not come from the server answering this request.
CScanServer::Answer CScanServer::Collect(const std::string& request, SteadyTime deadline, CScanOutcome& outcome,
                                         std::vector<std::string>& reportLines)
{
    bool first = true, inReport = false, reportDone = false;
    SteadyTime lastLine = std::chrono::steady_clock::now();
    SteadyTime nextWatch = lastLine + kDialogWatchInterval;
    std::vector<CSeenWindow> seen;
    for (;;) {
        bool ended = false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= nextWatch) {
            if (WatchDialogs(request, lastLine, seen, outcome)) return Answer::kBlocked;
            nextWatch = now + kDialogWatchInterval;
        }
        const std::optional<std::string> line =
            server.NextLine(std::min({deadline, now + kPollInterval, nextWatch}), ended);
        if (line) lastLine = std::chrono::steady_clock::now();
        if (!line) {
            if (ended || server.HasExited()) return Answer::kEnded;
            if (std::chrono::steady_clock::now() >= deadline) return DumpBegun() ? Answer::kEnded : Answer::kTimedOut;
            continue;
        }
        if (first) {
            if (*line != ScanningLine(request)) return Answer::kTainted;
            first = false;
            outcome.trace.push_back(*line);
            continue;
        }
        if (*line == kReadyLine) return inReport || !reportDone ? Answer::kTainted : Answer::kAnswered;
        const CServerLine parsed = SplitServerLine(*line);
        if (parsed.level == ">") {
            if (reportDone) return Answer::kTainted;  // a second report
            inReport = inReport || parsed.text == "{";
            if (parsed.text == "}") {
                inReport = false;
                reportDone = true;
            }
            reportLines.push_back(parsed.text);
        } else if (parsed.level == "error" && outcome.error.empty()) {
            outcome.error = parsed.text;
        } else {
            outcome.trace.push_back(*line);
        }
    }
}

void CScanServer::TakeConsole(CScanOutcome& outcome)
{
    const CConsoleText console = server.TakeConsole(kConsoleKeep);
    outcome.console = ConsoleSafe(console.text);
    outcome.consoleDropped = console.dropped;
}

void CScanServer::OnAnswer(const std::string& request, const std::vector<std::string>& reportLines,
                           CScanOutcome& outcome)
{
    ++answeredCount;
    answered.push_back({request, std::chrono::steady_clock::now()});
    if (answered.size() > kRecentRequests) answered.pop_front();
    std::string why;
    auto report = ParsePluginReport(reportLines, &why);
    if (!report) {
        outcome.error = "unreadable report: " + why;
        outcome.status = ScanStatus::kFailed;
        return;
    }
    outcome.report = std::move(*report);
    outcome.status = outcome.error.empty() ? ScanStatus::kOk : ScanStatus::kFailed;
    // The system's code for a library that would not load says little; the file says more.
    if (outcome.error.rfind(kLoadFailure, 0) == 0) {
        const unsigned long code = std::strtoul(outcome.error.c_str() + sizeof(kLoadFailure) - 1, nullptr, 10);
        const std::string meaning = ExplainLoadError(code, FromUtf8(RequestLibrary(request)), outcome.report.platform);
        if (!meaning.empty()) outcome.error += ": " + meaning;
        // A file another program holds is no verdict on the plug-in: it is to be scanned again.
        outcome.hostFailure = code == ERROR_SHARING_VIOLATION;
    }
}

void CScanServer::OnEnd(const std::string& request, CScanOutcome& outcome)
{
    // A server past its deadline that has begun a dump is crashing, not hanging: a dump can take
    // longer to write than the deadline allows (seconds under Wine).
    server.WaitForExit(DumpBegun() ? kDumpGraceMs : kExitWaitMs);
    // What the server wrote before it went shows where it crashed.
    bool ended = false;
    while (std::optional<std::string> line = server.NextLine(std::chrono::steady_clock::now() + kPollInterval, ended))
        outcome.trace.push_back(*line);
    TakeConsole(outcome);
    const CServerEnd end = End(false, request);
    lastEnd = end;
    outcome.status = ScanStatus::kCrashed;
    outcome.exitCode = end.exitCode;
    outcome.exceptionCode = end.exceptionCode;
    outcome.dumpFile = end.dumpFile;
    outcome.faultModule = end.faultModule;
    outcome.error = end.Description();
}

bool CScanServer::WatchDialogs(const std::string& request, SteadyTime lastLine, std::vector<CSeenWindow>& seen,
                               CScanOutcome& outcome)
{
    const SteadyTime now = std::chrono::steady_clock::now();
    const std::vector<HWND> windows = FindPluginWindows(server.ProcessId(), server.Job());
    bool overstayed = false;
    for (HWND window : windows) {
        auto known = std::find_if(seen.begin(), seen.end(), [&](const CSeenWindow& s) { return s.window == window; });
        if (known == seen.end()) {
            // Seen first now; its picture is taken on the next look, once it has painted itself.
            CDialogRecord record = DescribeWindow(window);
            record.action = "seen";
            outcome.dialogs.push_back(std::move(record));
            seen.push_back({window, now, outcome.dialogs.size() - 1, false});
            continue;
        }
        CDialogRecord& record = outcome.dialogs[known->record];
        if (!known->pictured) {
            known->pictured = true;
            if (!options.dumpFolder.empty()) {
                const std::wstring picture = options.dumpFolder + L"\\" + DumpTag(request) + L"-dialog-" +
                                             std::to_wstring(known->record + 1) + L".png";
                if (SaveWindowPicture(window, picture)) record.picture = picture;
            }
            if (options.dialogs == DialogPolicy::kDismiss) {
                DismissWindow(window);
                record.action = "dismissed";
            }
        }
        overstayed |= now - known->firstSeen >= options.dialogGrace && record.action == "seen";
    }
    auto block = [&](const std::string& why) {
        End(true, "");
        outcome.status = ScanStatus::kBlocked;
        outcome.error = why;
        return true;
    };
    if (options.dialogs == DialogPolicy::kDismiss && outcome.dialogs.size() > kMostDismissed)
        return block("blocked by dialogs: it opened " + std::to_string(outcome.dialogs.size()));
    if (options.dialogs != DialogPolicy::kReport || !overstayed || now - lastLine < options.dialogGrace) return false;
    std::string why = "blocked by a dialog";
    for (const CSeenWindow& window : seen) {
        CDialogRecord& record = outcome.dialogs[window.record];
        if (now - window.firstSeen < options.dialogGrace) continue;
        record.action = "reported";
        if (why.find(':') == std::string::npos) {
            why += ": \"" + record.title + "\"";
            if (!record.texts.empty()) why += " (" + record.texts.front() + ")";
        }
    }
    return block(why);
}

void CScanServer::OnTimeout(CScanOutcome& outcome)
{
    TakeConsole(outcome);
    End(true, "");
    char limit[48];
    snprintf(limit, sizeof(limit), "no answer within %.1f s", static_cast<double>(options.timeout.count()) / 1000.0);
    outcome.error = limit;
    outcome.status = ScanStatus::kTimedOut;
}

CScanOutcome CScanServer::Scan(const std::string& request)
{
    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + options.timeout;
    CScanOutcome outcome;
    auto finish = [&] {
        outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return outcome;
    };
    if (request.find_first_of("\r\n") != std::string::npos) {
        outcome.error = "a request cannot hold a line break";
        outcome.hostFailure = true;
        return finish();
    }
    // A server that ended or wrote after its last answer is not this plug-in's doing; one that
    // ended is kept on record, with whom it had answered, for TakeIdleEnd.
    lastEnd.reset();
    if (server.Running() && server.HasExited()) {
        const std::vector<CAnsweredRequest> before(answered.begin(), answered.end());
        idleEnd = CIdleEnd{End(false, before.empty() ? std::string() : before.back().request), before};
    }
    CheckIdle();

    // A server that answers what it was not asked is ended, and the request asked again of a
    // new one; a plug-in that makes that happen every time fails.
    for (int attempt = 0; attempt < 2; ++attempt) {
        outcome = CScanOutcome{};
        std::string problem;
        if (!server.Running() && !Start(problem)) {
            outcome.error = problem;
            outcome.hostFailure = true;
            return finish();
        }
        outcome.priorRequests = answeredCount;
        if (!AwaitReady(deadline)) {
            if (server.HasExited()) OnEnd(request, outcome);
            else OnTimeout(outcome);
            return finish();
        }
        ready = false;
        if (!server.Write(request + "\n")) {
            OnEnd(request, outcome);
            return finish();
        }
        std::vector<std::string> reportLines;
        switch (Collect(request, deadline, outcome, reportLines)) {
        case Answer::kAnswered:
            ready = true;
            TakeConsole(outcome);
            OnAnswer(request, reportLines, outcome);
            return finish();
        case Answer::kEnded: OnEnd(request, outcome); return finish();
        case Answer::kTimedOut: OnTimeout(outcome); return finish();
        case Answer::kBlocked: return finish();
        case Answer::kTainted: End(true, ""); break;
        }
    }
    outcome.status = ScanStatus::kFailed;
    outcome.error = "its answer did not fit its request: something wrote into the scan server's output";
    return finish();
}
