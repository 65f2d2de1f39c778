#include "host/ScanServer.h"

#include <atomic>

#include "host/WindowsText.h"

namespace {

constexpr char kReadyLine[] = "ready:";
constexpr DWORD kExitWaitMs = 5000;
constexpr DWORD kKilledExitCode = 1;
// A server that has begun a crash dump is given this long to finish it (Wine takes seconds).
constexpr DWORD kDumpGraceMs = 60000;
constexpr std::chrono::milliseconds kPollInterval{200};

std::wstring Hex(uint64_t value)
{
    wchar_t text[24];
    swprintf(text, 24, L"%llx", static_cast<unsigned long long>(value));
    return text;
}

// The plug-in's file name without ".dll", with a sub-plug-in id, fit for a file name.
std::wstring DumpTag(const std::string& request)
{
    std::wstring tag = FromUtf8(request);
    const size_t slash = tag.find_last_of(L"\\/");
    if (slash != std::wstring::npos) tag.erase(0, slash + 1);
    const size_t marker = tag.find(L'>');
    std::wstring id = marker == std::wstring::npos ? L"" : L"-" + tag.substr(marker + 1);
    if (marker != std::wstring::npos) tag.erase(marker);
    if (tag.size() > 4 && _wcsicmp(tag.c_str() + tag.size() - 4, L".dll") == 0) tag.erase(tag.size() - 4);
    tag += id;
    for (wchar_t& c : tag)
        if (wcschr(L"<>:\"/\\|?*", c) || c < 32) c = L'_';
    return tag;
}

// Inheritable handles of one server must not leak into another started at the same moment.
std::mutex& ProcessCreationLock()
{
    static std::mutex lock;
    return lock;
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
        privateDumpFolder = options.dumpFolder + L"\\.server-" + Hex(GetCurrentProcessId()) + L"-" + Hex(ServerCounter++);
    }
}

CScanServer::~CScanServer()
{
    Stop();
    if (!privateDumpFolder.empty()) RemoveDirectoryW(privateDumpFolder.c_str());
}

bool CScanServer::Start(std::string& problem)
{
    SECURITY_ATTRIBUTES plain{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HANDLE requestRead = nullptr, outputWrite = nullptr;
    if (!CreatePipe(&requestRead, &requestWrite, &plain, 0)) {
        problem = "cannot create pipes";
        return false;
    }
    if (!CreatePipe(&outputRead, &outputWrite, &plain, 0)) {
        CloseHandle(requestRead);
        CloseHandle(requestWrite);
        requestWrite = nullptr;
        problem = "cannot create pipes";
        return false;
    }
    if (!privateDumpFolder.empty()) CreateDirectoryW(privateDumpFolder.c_str(), nullptr);

    std::wstring commandLine = QuoteArgument(options.serverPath) + L" " + Hex(reinterpret_cast<uintptr_t>(requestRead)) +
                               L" " + Hex(reinterpret_cast<uintptr_t>(outputWrite)) + L" " +
                               Hex(reinterpret_cast<uintptr_t>(options.window));
    if (!privateDumpFolder.empty()) commandLine += L" " + QuoteArgument(privateDumpFolder);

    // Only the server's two ends are inherited: named in an attribute list where the system
    // honours it, and inheritable only while this server is being created.
    HANDLE inherited[] = {requestRead, outputWrite};
    SIZE_T attributeSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeSize);
    std::vector<char> attributeBuffer(attributeSize);
    auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
    const bool haveList = InitializeProcThreadAttributeList(attributes, 1, 0, &attributeSize) &&
                          UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                    sizeof(inherited), nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.lpAttributeList = haveList ? attributes : nullptr;
    PROCESS_INFORMATION info{};
    BOOL created;
    DWORD error = 0;
    {
        std::lock_guard<std::mutex> guard(ProcessCreationLock());
        for (HANDLE handle : inherited) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_SUSPENDED | (haveList ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr, nullptr,
                                 &startup.StartupInfo, &info);
        error = GetLastError();
        for (HANDLE handle : inherited) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    }
    if (haveList) DeleteProcThreadAttributeList(attributes);
    CloseHandle(requestRead);
    CloseHandle(outputWrite);
    if (!created) {
        CloseHandle(requestWrite);
        CloseHandle(outputRead);
        requestWrite = outputRead = nullptr;
        problem = "cannot start the scan server (error " + std::to_string(error) + ")";
        return false;
    }
    // Each server runs in a job of its own, together with whatever processes its plug-ins start.
    // Those may hold the server's pipe ends; ending the job ends them all, so the output always
    // comes to an end. The job also ends the server if the host itself goes away.
    job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) {
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
        AssignProcessToJobObject(job, info.hProcess);
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process = info.hProcess;
    outputEnded = false;
    lines.clear();
    partial.clear();
    reader = std::thread([this] { ReadOutput(); });
    return true;
}

void CScanServer::ReadOutput()
{
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(outputRead, chunk, sizeof(chunk), &count, nullptr) && count > 0) {
        std::lock_guard<std::mutex> guard(lock);
        for (DWORD i = 0; i < count; ++i) {
            if (chunk[i] == '\n') {
                lines.push_back(std::move(partial));
                partial.clear();
            } else {
                partial += chunk[i];
            }
        }
        changed.notify_all();
    }
    std::lock_guard<std::mutex> guard(lock);
    if (!partial.empty()) lines.push_back(std::move(partial));  // a line the crash cut short
    partial.clear();
    outputEnded = true;
    changed.notify_all();
}

std::optional<std::string> CScanServer::NextLine(std::chrono::steady_clock::time_point deadline, bool& ended)
{
    std::unique_lock<std::mutex> guard(lock);
    changed.wait_until(guard, deadline, [this] { return !lines.empty() || outputEnded; });
    ended = lines.empty() && outputEnded;
    if (lines.empty()) return std::nullopt;
    std::string line = std::move(lines.front());
    lines.pop_front();
    return line;
}

void CScanServer::End(bool kill)
{
    if (process == nullptr) return;
    if (requestWrite) CloseHandle(requestWrite);
    requestWrite = nullptr;
    if (kill || WaitForSingleObject(process, kExitWaitMs) != WAIT_OBJECT_0) TerminateProcess(process, kKilledExitCode);
    WaitForSingleObject(process, kExitWaitMs);
    if (job) {
        TerminateJobObject(job, kKilledExitCode);
        CloseHandle(job);
        job = nullptr;
    }
    if (reader.joinable()) reader.join();
    CloseHandle(outputRead);
    outputRead = nullptr;
    CloseHandle(process);
    process = nullptr;
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
        return finish(ScanStatus::kFailed);
    }
    // A server that ended after its last answer is not this plug-in's doing.
    if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) End(false);
    std::string problem;
    if (process == nullptr && !Start(problem)) {
        outcome.error = problem;
        return finish(ScanStatus::kFailed);
    }

    // The server announces itself, then says it is ready before every request; the answer
    // runs up to the next "ready:".
    bool sent = false;
    std::vector<std::string> reportLines;
    auto send = [&] {
        const std::string bytes = request + "\n";
        DWORD written = 0;
        WriteFile(requestWrite, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
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
        if (std::optional<std::string> line = NextLine(std::min(deadline, now + kPollInterval), ended)) {
            if (take(*line)) return answer();
            continue;
        }
        serverGone = ended || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        timedOut = !serverGone && std::chrono::steady_clock::now() >= deadline;
    }
    // Past the deadline with a dump begun, it is no hang: the server is crashing, and a dump
    // can take longer to write than the deadline allows (seconds under Wine).
    if (timedOut && DumpBegun() && WaitForSingleObject(process, kDumpGraceMs) == WAIT_OBJECT_0) serverGone = true;
    if (!serverGone) {
        End(true);
        char limit[48];
        snprintf(limit, sizeof(limit), "no answer within %.1f s", static_cast<double>(options.timeout.count()) / 1000.0);
        outcome.error = limit;
        return finish(ScanStatus::kTimedOut);
    }

    // What the server wrote before it went is still worth having: it shows where it crashed.
    bool ended = false;
    while (std::optional<std::string> line = NextLine(std::chrono::steady_clock::now() + kPollInterval, ended))
        if (take(*line)) break;
    WaitForSingleObject(process, kExitWaitMs);
    GetExitCodeProcess(process, &outcome.exitCode);
    End(false);
    outcome.dumpFile = TakeDump(request);
    outcome.error = "the scan server ended with exit code " + std::to_string(outcome.exitCode);
    return finish(ScanStatus::kCrashed);
}
