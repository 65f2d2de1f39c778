#include "host/ScanServer.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <thread>

#include "host/LoadErrors.h"
#include "host/MinidumpReader.h"
#include "host/Paths.h"
#include "host/ProcessThreads.h"
#include "host/ServerFolder.h"
#include "host/ServerStart.h"
#include "host/SafeText.h"
#include "protocol/CheckRequest.h"
#include "protocol/CrashThread.h"
#include "protocol/LeftBehind.h"
#include "protocol/PluginFormat.h"
#include "protocol/Utf8.h"

namespace {

constexpr char kReadyLine[] = "ready:";
constexpr char kScanningPrefix[] = "info:Scanning plugin: '";
constexpr uint32_t kExitWaitMs = 5000;
// A server that has begun a crash dump is given this long to finish it (Wine takes seconds).
constexpr uint32_t kDumpGraceMs = 60000;
constexpr std::chrono::milliseconds kPollInterval{200};
constexpr std::chrono::milliseconds kSettlePoll{50};
// What a crashed server wrote last is read for at most this long: a helper process that
// inherited the pipe could write for ever.
constexpr std::chrono::milliseconds kDrainLimit{1000};
constexpr size_t kConsoleKeep = 4096;
constexpr size_t kRecentRequests = 64;
// No answer of a scan server comes near this; more is something else writing.
constexpr size_t kLongestAnswer = 16u << 20;
// Dialogs are looked for only once a request has taken this long: a fast scan costs nothing.
constexpr std::chrono::milliseconds kDialogWatchInterval{200};
// A failed start is tried again after these pauses: under load CreateProcess fails now and then.
constexpr int kStartRetryMs[] = {100, 400};
// However many classes a module holds, its scan ends after this long (or the time-out, if longer).
constexpr std::chrono::minutes kLongestModuleScan{10};
constexpr char kCheckStagePrefix[] = "Check stage: ";

std::atomic<unsigned> ServerCounter{0};

// What the server wrote first for a request: its text as the server decoded it, line breaks
// escaped as it escapes them.
std::string ScanningLine(const std::string& request)
{
    return kScanningPrefix + ToUtf8(Utf8ToUtf16(request)) + "'";
}

// The call into the plug-in the server had begun last, from its "Calling ..." trace line.
std::string CallUnderWay(const std::vector<std::string>& trace)
{
    constexpr char kCalling[] = "info:Calling ";
    for (auto line = trace.rbegin(); line != trace.rend(); ++line) {
        if (line->rfind(kCalling, 0) != 0) continue;
        std::string call = line->substr(sizeof(kCalling) - 1);
        if (call.size() >= 3 && call.compare(call.size() - 3, 3, "...") == 0) call.resize(call.size() - 3);
        return call;
    }
    return "";
}

// The stage and setting a check had begun last, from its "Check stage: " trace line, and the
// thread a crash came on when two ran plug-in code: "state while processing, on the main thread".
std::string CheckStageUnderWay(const std::vector<std::string>& trace)
{
    constexpr char kStage[] = "info:Check stage: ";
    std::string thread;
    for (auto line = trace.rbegin(); line != trace.rend(); ++line) {
        if (*line == kCrashedOnAudioThread) thread = ", on the audio thread";
        if (*line == kCrashedOnMainThread) thread = ", on the main thread";
        if (line->rfind(kStage, 0) == 0) return line->substr(sizeof(kStage) - 1) + thread;
    }
    return "";
}

// A moment given as seconds since 1970, on the steady clock; now when it is ahead.
SteadyTime SteadyTimeOfUnixSeconds(uint32_t seconds)
{
    const auto ago = std::chrono::system_clock::now() - std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
    const auto now = std::chrono::steady_clock::now();
    return ago.count() < 0 ? now : now - std::chrono::duration_cast<SteadyTime::duration>(ago);
}

// The classes a module had reported when its server crashed or hung stay with it.
void KeepModuleClasses(const std::vector<std::string>& reportLines, CScanOutcome& outcome)
{
    if (reportLines.empty()) return;
    if (auto report = ParsePartialModuleReport(reportLines)) outcome.report = std::move(*report);
}

}  // namespace

NativeText FileTag(const std::string& request)
{
    // A check's files are told from its scan's; its id may hold separators of its own.
    const std::optional<CCheckRequest> check = ParseCheckRequest(request);
    std::string tag = FileNameOf(check ? check->path : request);
    size_t marker = tag.find('>');
    std::string id = marker == std::string::npos ? "" : "-" + tag.substr(marker + 1);
    if (check) {
        marker = std::string::npos;
        id = "-check" + (check->id.empty() ? "" : "-" + ToUtf8(Utf8ToUtf16(check->id.substr(0, 64))));
    }
    if (marker != std::string::npos) tag.erase(marker);
    const size_t dot = tag.find_last_of('.');
    if (dot != std::string::npos && dot > 0) tag.erase(dot);
    tag += id;
    for (char& c : tag)
        if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 32) c = '_';
    return FromUtf8(tag);
}

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

unsigned CScanServer::ProcessesStarted() { return ServerCounter.load(); }

CScanServer::CScanServer(CScanServerOptions chosen) : options(std::move(chosen))
{
    if (!options.dumpFolder.empty()) MakeFolder(options.dumpFolder);
}

CScanServer::~CScanServer() { Stop(); }

bool CScanServer::Start(std::string& problem)
{
    windowsOpen.clear();
    if (!options.dumpFolder.empty()) {
        // Each process gets a folder of its own: a dump found there is that process's.
        privateDumpFolder = PrivateFolderName(options.dumpFolder, ServerCounter.load());
        MakeFolder(privateDumpFolder);
    }
    CChildStart how;
    how.commandLine = [&](const NativeText& requestEnd, const NativeText& outputEnd) {
        return ServerCommand(options.serverPath, requestEnd, outputEnd, HexArgumentText(reinterpret_cast<uintptr_t>(options.window)),
                             privateDumpFolder);
    };
    // Each server runs in a job of its own, together with whatever processes its plug-ins start.
    // Ending the job ends them all; the job also ends the server if the host itself goes away.
    how.ownJob = true;
    // What plug-ins print, and the system's crash reports, never reach the host's own output.
    how.captureConsole = true;
    std::string why;
    bool started = false;
    for (size_t attempt = 0;; ++attempt) {
        ++ServerCounter;
        started = server.Start(how, why);
        const bool hopeless = StartCannotSucceed(server.StartError());
        if (started || hopeless || attempt == std::size(kStartRetryMs)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kStartRetryMs[attempt]));
    }
    if (!started) {
        problem = "cannot start the scan server (" + why + ")";
        if (!privateDumpFolder.empty()) RemoveEmptyFolder(privateDumpFolder);
        return false;
    }
    ready = false;
    retired = false;
    asking = false;
    answered.clear();
    answeredCount = 0;
    serverThreads.clear();
    knownThreads.clear();
    othersRunAtRequest = false;
    return true;
}

void CScanServer::Stop()
{
    if (server.Running()) server.End(false, kExitWaitMs);
    DiscardPrivateFolder();
}

void CScanServer::Kill()
{
    if (server.Running()) server.End(true, 0);
    DiscardPrivateFolder();
    ready = false;
    retired = false;
}

// What a process we ended ourselves left in its folder is no evidence of anything.
void CScanServer::DiscardPrivateFolder()
{
    if (privateDumpFolder.empty()) return;
    for (const CFolderFile& file : FolderFiles(privateDumpFolder, NativeText())) DeleteFileAt(file.path);
    RemoveEmptyFolder(privateDumpFolder);
}

void CScanServer::Retire()
{
    retired = true;
    ready = false;
    // Nothing it writes from now on is read as an answer; the pipe is still emptied.
    server.DiscardOutput();
}

CServerEnd CScanServer::TakeEnd(const std::string& current)
{
    CServerEnd end;
    end.current = current;
    end.othersRanAtRequest = !current.empty() && othersRunAtRequest;
    end.answered.assign(answered.begin(), answered.end());
    end.serverThreads = serverThreads;
    end.exitCode = endedByHost ? kStillRunning : server.WaitForExit(0);
    endedByHost = false;
    end.when = server.ExitTime();
    server.End(false, 0);
    ready = false;
    retired = false;
    std::string owner = current;
    if (owner.empty() && !answered.empty()) owner = answered.back().request;
    end.dumpFile = TakeDump(owner, end);
    if (!privateDumpFolder.empty()) RemoveEmptyFolder(privateDumpFolder);
    return end;
}

std::optional<CServerEnd> CScanServer::Poll()
{
    if (idleEnd) return std::exchange(idleEnd, std::nullopt);
    if (!server.Running()) return std::nullopt;
    // A dump begun is a crash under way: it is waited for, however long it takes to write.
    if (server.WaitForExit(0) != kStillRunning || (DumpBegun() && server.WaitForExit(kDumpGraceMs) != kStillRunning))
        return TakeEnd("");
    // Output nobody asked for: whatever wrote it, this server's answers cannot be trusted.
    if (!retired && server.HasUntakenOutput()) Retire();
    return std::nullopt;
}

std::optional<CServerEnd> CScanServer::Settle(SteadyTime until, SteadyTime atLeast)
{
    while (server.Running()) {
        if (auto end = Poll()) return end;
        const SteadyTime now = std::chrono::steady_clock::now();
        if (now >= until || (now >= atLeast && !HasLeftoverThreads())) break;
        server.WaitForExit(static_cast<uint32_t>(kSettlePoll.count()));
    }
    return std::nullopt;
}

std::set<uint32_t> CScanServer::ThreadIds() const { return ThreadsOfProcess(server.Process(), server.ProcessId()); }

// Threads by identity, not by number: a thread of the system's that ended since start-up must
// not hide one a plug-in left.
void CScanServer::AttributeNewThreads(const std::set<uint32_t>& running)
{
    for (uint32_t id : running) {
        if (!knownThreads.insert(id).second) continue;
        // While a request is outstanding, or its server was retired for it, new threads are its.
        if (asking) continue;
        if (answered.empty()) serverThreads.insert(id);
        else answered.back().threads.insert(id);
    }
}

bool CScanServer::HasLeftoverThreads()
{
    if (!server.Running()) return false;
    // One that ended since it was last looked at has its end to be taken first.
    if (server.HasExited()) return true;
    const std::set<uint32_t> running = ThreadIds();
    AttributeNewThreads(running);
    return AnyLeftoverRuns(running);
}

bool CScanServer::AnyLeftoverRuns(const std::set<uint32_t>& running) const
{
    for (const auto& entry : answered)
        for (uint32_t id : entry.threads)
            if (running.count(id)) return true;
    return false;
}

bool CScanServer::DumpBegun() const
{
    return !privateDumpFolder.empty() && !FolderFiles(privateDumpFolder, FromUtf8(".mdmp")).empty();
}

// Every dump the ended process wrote goes out of its private folder, named after `owner`, the
// plug-in it was taken for; whose fault it really was is for the judge to say. What the dump
// says of the fault goes into `end`.
NativeText CScanServer::TakeDump(const std::string& owner, CServerEnd& end)
{
    if (privateDumpFolder.empty()) return NativeText();
    NativeText kept;
    for (const CFolderFile& file : FolderFiles(privateDumpFolder, FromUtf8(".mdmp"))) {
        // An empty file is a dump that was begun and never written: no evidence, and nothing to keep.
        if (file.size == 0) {
            DeleteFileAt(file.path);
            continue;
        }
        // The dump was begun when the fault happened; the process ended only once it was written,
        // which takes seconds under Wine.
        end.when = std::min(end.when, file.created);
        std::string bytes;
        if (ReadFileBytes(file.path, bytes, kLargestMinidump)) {
            if (const auto summary = ReadMinidump(bytes)) {
                // Its header's time is when writing began, to the second; the file's own times
                // under Wine are those of its last write.
                if (summary->timeStamp != 0) end.when = std::min(end.when, SteadyTimeOfUnixSeconds(summary->timeStamp));
                end.exceptionCode = summary->exceptionCode;
                end.faultThread = summary->threadId;
                if (const CDumpModule* module = summary->ModuleAt(summary->exceptionAddress)) end.faultModule = module->path;
            }
        }
        const NativeText stem = file.name.substr(0, file.name.size() - 5) + FromUtf8("-") + FileTag(owner);
        const NativeText target = ClaimFileName(options.dumpFolder, stem, FromUtf8(".mdmp"));
        if (!target.empty() && MoveFileTo(file.path, target))
            kept = target;
        else if (!target.empty())
            DeleteFileAt(target);
    }
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
    return true;
}

// The answer to one request: its "Scanning plugin" line first, then the trace, at most one
// report, and "ready:". Anything else did not come from the server answering this request.
CScanServer::Answer CScanServer::Collect(const std::string& request, SteadyTime deadline, CScanOutcome& outcome,
                                         std::vector<std::string>& reportLines)
{
    // A module gets the time-out for each class it holds, as a shell gets it per sub-plug-in:
    // each class it reports gives the next one a time-out of its own, up to a cap.
    const bool check = IsCheckRequest(request);
    const bool module = !check && FormatOfPath(request) != PluginFormat::kVst2;
    const SteadyTime moduleCap = std::chrono::steady_clock::now() + std::max<SteadyTime::duration>(options.timeout, kLongestModuleScan);
    // A check gets the time-out for each stage and setting it begins, up to a cap of its own.
    const SteadyTime checkCap = std::chrono::steady_clock::now() + std::max<SteadyTime::duration>(options.timeout, options.longestCheck);
    bool first = true, inReport = false, reportDone = false;
    size_t answerBytes = 0;
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
        if (server.Overflowed()) return Answer::kTooLarge;
        if (line) lastLine = std::chrono::steady_clock::now();
        if (!line) {
            // A server that ended after its whole report and before its "ready:" had done the
            // request: its end comes after the scan, as if it had come after the "ready:".
            if (ended || server.HasExited()) return reportDone && !inReport ? Answer::kAnswered : Answer::kEnded;
            if (std::chrono::steady_clock::now() >= deadline) {
                // The time-out of its last step, or the cap of the whole request.
                const SteadyTime cap = check ? checkCap : moduleCap;
                const std::chrono::milliseconds longest = check ? options.longestCheck : std::chrono::milliseconds(kLongestModuleScan);
                timedOutAfter = (check || module) && deadline >= cap ? std::max(options.timeout, longest) : options.timeout;
                return DumpBegun() ? Answer::kEnded : Answer::kTimedOut;
            }
            continue;
        }
        answerBytes += line->size() + 1;
        if (answerBytes > kLongestAnswer) return Answer::kTooLarge;
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
            if (module && inReport && parsed.text.find_first_not_of(' ') != std::string::npos &&
                parsed.text[parsed.text.find_first_not_of(' ')] == '{' && parsed.text != "{")
                deadline = std::max(deadline, std::min(moduleCap, std::chrono::steady_clock::now() + options.timeout));
            reportLines.push_back(parsed.text);
        } else if (parsed.level == "error" && outcome.error.empty()) {
            outcome.error = parsed.text;
        } else if (parsed.level == "info" || parsed.level == "warn" || parsed.level == "error") {
            if (check && parsed.text.rfind(kCheckStagePrefix, 0) == 0)
                deadline = std::max(deadline, std::min(checkCap, std::chrono::steady_clock::now() + options.timeout));
            if (parsed.level == "warn" && parsed.text.rfind(kLeftBehindPrefix, 0) == 0)
                outcome.leftBehind = parsed.text.substr(sizeof(kLeftBehindPrefix) - 1);
            outcome.trace.push_back(*line);
        } else {
            return Answer::kTainted;  // the server writes no other kind of line
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
    answered.push_back({request, std::chrono::steady_clock::now(), {}});
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
    ExplainLoadFailure(RequestLibrary(request), outcome);
}

void CScanServer::OnEnd(const std::string& request, const std::vector<std::string>& reportLines, CScanOutcome& outcome)
{
    // A server past its deadline that has begun a dump is crashing, not hanging: a dump can take
    // longer to write than the deadline allows (seconds under Wine).
    // One whose output ended and that goes on running (a plug-in closed or replaced the pipe)
    // is ended by us, and reads as one that stopped answering, not as one the plug-in ended.
    // The wait is not the request's time-out: a crashing process can take seconds to go.
    server.WaitForExit(DumpBegun() ? kDumpGraceMs : kExitWaitMs);
    if (server.WaitForExit(0) == kStillRunning) {
        server.Terminate(1);
        endedByHost = true;
    }
    // What the server wrote before it went shows where it crashed; what its helpers write
    // after does not, and they go first.
    server.EndJobHelpers();
    bool ended = false;
    const SteadyTime drained = std::chrono::steady_clock::now() + kDrainLimit;
    while (std::chrono::steady_clock::now() < drained) {
        std::optional<std::string> line = server.NextLine(std::min(drained, std::chrono::steady_clock::now() + kPollInterval), ended);
        if (!line) break;
        outcome.trace.push_back(std::move(*line));
    }
    TakeConsole(outcome);
    outcome.end = TakeEnd(request);
    const CServerEnd& end = *outcome.end;
    outcome.status = ScanStatus::kCrashed;
    outcome.exitCode = end.exitCode;
    outcome.exceptionCode = end.exceptionCode;
    outcome.dumpFile = end.dumpFile;
    outcome.faultModule = end.faultModule;
    outcome.error = end.Description();
    // A fault in the server's own code during a call into the plug-in: the plug-in handed it
    // something it could not use.
    const std::string call = CallUnderWay(outcome.trace);
    if (!call.empty() && !end.faultModule.empty() &&
        SameFile(FileNameOf(end.faultModule), FileNameOf(ToUtf8(options.serverPath))))
        outcome.error += " while the plug-in's object was being used (" + call + ")";
    KeepModuleClasses(reportLines, outcome);
}

void CScanServer::OnTimeout(const std::vector<std::string>& reportLines, CScanOutcome& outcome)
{
    TakeConsole(outcome);
    KeepModuleClasses(reportLines, outcome);
    Retire();
    char limit[96];
    if (timedOutAfter > options.timeout)
        snprintf(limit, sizeof(limit), "not done within %.1f s, the most a request may take in all",
                 static_cast<double>(timedOutAfter.count()) / 1000.0);
    else
        snprintf(limit, sizeof(limit), "no answer within %.1f s", static_cast<double>(options.timeout.count()) / 1000.0);
    outcome.error = limit;
    outcome.status = ScanStatus::kTimedOut;
}

CScanOutcome CScanServer::Scan(const std::string& request)
{
    CScanOutcome outcome;
    SteadyTime started = std::chrono::steady_clock::now();
    auto finish = [&] {
        outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return outcome;
    };
    auto hostFailure = [&](const std::string& why) {
        outcome.error = why;
        outcome.hostFailure = true;
        return finish();
    };
    if (request.find_first_of("\r\n") != std::string::npos) return hostFailure("a request cannot hold a line break");
    if (request.size() > kLongestRequest)
        return hostFailure("path longer than the scan server accepts (1023 bytes of UTF-8)");
    // A server retired, or one that ended or wrote after its last answer, is for the caller to
    // judge; this request goes to a new one.
    if (retired) Kill();
    if (server.Running() && server.HasExited()) idleEnd = TakeEnd("");
    if (server.Running() && server.HasUntakenOutput()) Kill();

    std::string problem;
    if (!server.Running() && !Start(problem)) return hostFailure(problem);
    // Start-up is the server's, not the plug-in's: it has a deadline of its own.
    if (!AwaitReady(std::chrono::steady_clock::now() + options.startTimeout)) {
        const bool exited = server.HasExited();
        Kill();
        return hostFailure(exited ? "the scan server ended before it was ready"
                                  : "the scan server did not get ready within " +
                                        std::to_string(options.startTimeout.count() / 1000) + " s");
    }
    const std::set<uint32_t> running = ThreadIds();
    AttributeNewThreads(running);
    othersRunAtRequest = AnyLeftoverRuns(running);
    windowsBefore = windowsOpen;
    dismissed.clear();
    asking = true;
    outcome.priorRequests = answeredCount;
    ready = false;
    started = std::chrono::steady_clock::now();
    std::vector<std::string> reportLines;
    if (!server.Write(request + "\n")) {
        OnEnd(request, reportLines, outcome);
        return finish();
    }
    const Answer answer = Collect(request, started + options.timeout, outcome, reportLines);
    switch (answer) {
    case Answer::kAnswered:
        ready = true;
        asking = false;
        TakeConsole(outcome);
        OnAnswer(request, reportLines, outcome);
        NoteWindowsLeftOpen(outcome);
        // A server something of a plug-in's code still lives in serves no other plug-in.
        if (!outcome.leftBehind.empty() && server.Running()) Retire();
        break;
    case Answer::kEnded: OnEnd(request, reportLines, outcome); break;
    case Answer::kTimedOut: OnTimeout(reportLines, outcome); break;
    case Answer::kBlocked: break;
    case Answer::kTainted:
    case Answer::kTooLarge:
        TakeConsole(outcome);
        Retire();
        outcome.tainted = true;
        outcome.status = ScanStatus::kFailed;
        outcome.error = answer == Answer::kTooLarge
                            ? "its answer did not fit its request: it was too large to read (a line over 1 MiB, or over 16 MiB in all)"
                            : "its answer did not fit its request: something wrote into the scan server's output";
        break;
    }
    if (IsCheckRequest(request) && outcome.status != ScanStatus::kOk && outcome.status != ScanStatus::kFailed)
        outcome.checkStage = CheckStageUnderWay(outcome.trace);
    return finish();
}
