#include "host/ChildProcess.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kReaderGraceMs = 2000;
constexpr size_t kConsoleLimit = 1 << 20;  // kept between two takes; the rest is counted
constexpr int kConsolePollMs = 20;
constexpr DWORD kConsolePipeBytes = 1u << 20;

HANDLE CurrentThreadHandle()
{
    HANDLE handle = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return handle;
}

// Inheritable handles of one child must not leak into another started at the same moment.
std::mutex& ProcessCreationLock()
{
    static std::mutex lock;
    return lock;
}

}  // namespace

std::wstring HexArgumentText(uint64_t value)
{
    wchar_t text[24];
    swprintf(text, 24, L"%llx", static_cast<unsigned long long>(value));
    return text;
}

CChildProcess::~CChildProcess() { End(true, 0); }

bool CChildProcess::Start(const CChildStart& how, std::string& problem)
{
    SECURITY_ATTRIBUTES plain{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HANDLE requestRead = nullptr, outputWrite = nullptr;
    if (!CreatePipe(&requestRead, &requestWrite, &plain, 0)) {
        problem = "cannot create pipes, error " + std::to_string(GetLastError());
        return false;
    }
    if (!CreatePipe(&outputRead, &outputWrite, &plain, 0)) {
        problem = "cannot create pipes, error " + std::to_string(GetLastError());
        CloseHandle(requestRead);
        CloseHandle(requestWrite);
        requestWrite = nullptr;
        return false;
    }
    std::wstring commandLine = how.commandLine(HexArgumentText(reinterpret_cast<uintptr_t>(requestRead)),
                                               HexArgumentText(reinterpret_cast<uintptr_t>(outputWrite)));

    HANDLE consoleWrite = nullptr, nul = nullptr;
    if (how.captureConsole) {
        // Room for what a plug-in prints between two reads: one that prints on every block
        // would otherwise wait on a full pipe for most of its time.
        CreatePipe(&consoleRead, &consoleWrite, &plain, kConsolePipeBytes);
        nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &plain, OPEN_EXISTING, 0,
                          nullptr);
    }

    // Only the child's own ends are inherited: named in an attribute list where the system
    // honours it, and inheritable only while this child is being created.
    std::vector<HANDLE> inherited{requestRead, outputWrite};
    if (consoleWrite) inherited.push_back(consoleWrite);
    if (nul && nul != INVALID_HANDLE_VALUE) inherited.push_back(nul);
    SIZE_T attributeSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeSize);
    std::vector<char> attributeBuffer(attributeSize);
    auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
    const bool haveList = InitializeProcThreadAttributeList(attributes, 1, 0, &attributeSize) &&
                          UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                                    inherited.size() * sizeof(HANDLE), nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.lpAttributeList = haveList ? attributes : nullptr;
    if (how.outputIsStandardOutput) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdOutput = outputWrite;
    } else if (consoleWrite) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = nul;
        startup.StartupInfo.hStdOutput = startup.StartupInfo.hStdError = consoleWrite;
    }
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
    if (consoleWrite) CloseHandle(consoleWrite);
    if (nul && nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    auto release = [&] {
        for (HANDLE* handle : {&requestWrite, &outputRead, &consoleRead}) {
            if (*handle) CloseHandle(*handle);
            *handle = nullptr;
        }
    };
    if (!created) {
        release();
        startError = error;
        problem = "error " + std::to_string(error);
        return false;
    }
    if (how.ownJob) {
        // A child outside its job could outlive us, with what it started: no start without it.
        job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        const bool jobReady = job && SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
                              AssignProcessToJobObject(job, info.hProcess);
        if (!jobReady) {
            problem = "cannot put the process in a job of its own: " + std::to_string(GetLastError());
            TerminateProcess(info.hProcess, 1);
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
            if (job) CloseHandle(job);
            job = nullptr;
            release();
            return false;
        }
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process = info.hProcess;
    output.clear();
    lineStart = 0;
    outputEnded = false;
    overflowed = false;
    discarding = false;
    startError = 0;
    console.clear();
    consoleDropped = 0;
    consoleEnded = consoleRead == nullptr;
    stopping = false;
    reader = std::thread([this] {
        ReadPipe(outputRead, readerThread, outputEnded, [this](const char* bytes, DWORD count) { Keep(bytes, count); });
    });
    if (consoleRead) consoleReader = std::thread([this] { WatchConsole(); });
    return true;
}

// Called with the lock held. A line without an end in sight is not kept: a plug-in writing
// gigabytes into the pipe must not take the host's memory with it.
void CChildProcess::Keep(const char* bytes, DWORD count)
{
    if (discarding || overflowed) return;
    output.append(bytes, count);
    const size_t lastFeed = output.rfind('\n');
    const size_t open = lastFeed == std::string::npos ? output.size() : output.size() - lastFeed - 1;
    if (open > kLongestOutputLine) {
        overflowed = true;
        output.clear();
        lineStart = 0;
    }
}

void CChildProcess::ReadPipe(HANDLE pipe, HANDLE& threadHandle, bool& ended,
                             const std::function<void(const char*, DWORD)>& take)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        threadHandle = CurrentThreadHandle();
    }
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(pipe, chunk, sizeof(chunk), &count, nullptr) && count > 0) {
        std::lock_guard<std::mutex> guard(lock);
        take(chunk, count);
        changed.notify_all();
    }
    std::lock_guard<std::mutex> guard(lock);
    ended = true;
    changed.notify_all();
}

// The console pipe is never read with a blocking call, so that whoever asks for its text can
// take what is in it at once: what a plug-in printed belongs to its own scan, not to the next.
// Called with the lock held; false once the pipe has ended.
bool CChildProcess::DrainConsole()
{
    char chunk[4096];
    DWORD waiting = 0, count = 0;
    while (PeekNamedPipe(consoleRead, nullptr, 0, nullptr, &waiting, nullptr)) {
        if (waiting == 0) return true;
        if (!ReadFile(consoleRead, chunk, std::min<DWORD>(waiting, sizeof(chunk)), &count, nullptr)) break;
        const size_t room = console.size() < kConsoleLimit ? kConsoleLimit - console.size() : 0;
        console.append(chunk, std::min<size_t>(room, count));
        consoleDropped += count - std::min<size_t>(room, count);
    }
    return false;
}

// Keeps the console pipe from filling up while nobody asks for its text, and sees it end.
void CChildProcess::WatchConsole()
{
    std::unique_lock<std::mutex> guard(lock);
    while (!stopping && DrainConsole()) stopWake.wait_for(guard, std::chrono::milliseconds(kConsolePollMs));
    consoleEnded = true;
    changed.notify_all();
}

CConsoleText CChildProcess::TakeConsole(size_t keep)
{
    std::unique_lock<std::mutex> guard(lock);
    // What the child printed before now is in the pipe or already taken: read it here.
    DrainConsole();
    CConsoleText taken;
    taken.dropped = consoleDropped + (console.size() > keep ? console.size() - keep : 0);
    console.resize(std::min(console.size(), keep));
    taken.text.swap(console);
    consoleDropped = 0;
    return taken;
}

bool CChildProcess::HasUntakenOutput()
{
    std::lock_guard<std::mutex> guard(lock);
    return !output.empty() || overflowed;
}

bool CChildProcess::Overflowed()
{
    std::lock_guard<std::mutex> guard(lock);
    return overflowed;
}

void CChildProcess::DiscardOutput()
{
    std::lock_guard<std::mutex> guard(lock);
    discarding = true;
    output.clear();
    lineStart = 0;
}

bool CChildProcess::Write(const std::string& bytes)
{
    DWORD written = 0;
    return requestWrite && WriteFile(requestWrite, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void CChildProcess::CloseRequests()
{
    if (requestWrite) CloseHandle(requestWrite);
    requestWrite = nullptr;
}

std::optional<std::string> CChildProcess::NextLine(std::chrono::steady_clock::time_point deadline, bool& ended)
{
    std::unique_lock<std::mutex> guard(lock);
    size_t feed = std::string::npos;
    changed.wait_until(guard, deadline, [&] {
        feed = output.find('\n', lineStart);
        if (feed == std::string::npos) lineStart = output.size();
        return feed != std::string::npos || outputEnded;
    });
    if (feed == std::string::npos && outputEnded && !output.empty()) feed = output.size();  // a line a crash cut short
    ended = feed == std::string::npos && outputEnded;
    if (feed == std::string::npos) return std::nullopt;
    std::string line = output.substr(0, feed);
    output.erase(0, std::min(feed + 1, output.size()));
    lineStart = 0;
    return line;
}

bool CChildProcess::WaitForOutput(const std::function<bool(const std::string&)>& done, std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> guard(lock);
    changed.wait_for(guard, limit, [&] { return done(output) || outputEnded; });
    return done(output);
}

std::string CChildProcess::Output()
{
    std::lock_guard<std::mutex> guard(lock);
    return output;
}

DWORD CChildProcess::WaitForExit(DWORD waitMs)
{
    if (process == nullptr || WaitForSingleObject(process, waitMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

std::chrono::steady_clock::time_point SteadyTimeOf(const FILETIME& utc)
{
    const auto now = std::chrono::steady_clock::now();
    FILETIME current;
    GetSystemTimeAsFileTime(&current);
    auto ticks = [](const FILETIME& time) {
        return static_cast<int64_t>(static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime);
    };
    const int64_t ago = ticks(current) - ticks(utc);  // in 100 ns
    if (ticks(utc) == 0 || ago < 0) return now;
    return now - std::chrono::microseconds(ago / 10);
}

std::chrono::steady_clock::time_point CChildProcess::ExitTime() const
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!process || !GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::chrono::steady_clock::now();
    return SteadyTimeOf(exited);
}

void CChildProcess::EndJobHelpers()
{
    if (!job) return;
    std::vector<char> buffer(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + 256 * sizeof(ULONG_PTR));
    auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, list, static_cast<DWORD>(buffer.size()), nullptr)) return;
    const DWORD own = ProcessId();
    for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
        const DWORD id = static_cast<DWORD>(list->ProcessIdList[i]);
        if (id == own) continue;
        if (HANDLE helper = OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
            TerminateProcess(helper, 1);
            CloseHandle(helper);
        }
    }
}

void CChildProcess::Terminate(DWORD exitCode)
{
    if (process) TerminateProcess(process, exitCode);
}

void CChildProcess::End(bool kill, DWORD waitMs)
{
    if (process == nullptr) return;
    CloseRequests();
    constexpr DWORD kKilledExitCode = 1;
    if (kill || WaitForSingleObject(process, waitMs) != WAIT_OBJECT_0) TerminateProcess(process, kKilledExitCode);
    WaitForSingleObject(process, 5000);
    if (job) {
        TerminateJobObject(job, kKilledExitCode);
        CloseHandle(job);
        job = nullptr;
    }
    StopReader(reader, readerThread, outputEnded);
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
        stopWake.notify_all();
    }
    if (consoleReader.joinable()) consoleReader.join();
    for (HANDLE* handle : {&outputRead, &consoleRead}) {
        if (*handle) CloseHandle(*handle);
        *handle = nullptr;
    }
    CloseHandle(process);
    process = nullptr;
}

void CChildProcess::StopReader(std::thread& thread, HANDLE& threadHandle, const bool& ended)
{
    if (!thread.joinable()) return;
    std::unique_lock<std::mutex> guard(lock);
    const auto cancel = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReaderGraceMs);
    const auto giveUp = cancel + std::chrono::milliseconds(kReaderGraceMs);
    changed.wait_until(guard, cancel, [&] { return ended; });
    while (!ended && std::chrono::steady_clock::now() < giveUp) {
        if (threadHandle) CancelSynchronousIo(threadHandle);
        changed.wait_for(guard, std::chrono::milliseconds(50), [&] { return ended; });
    }
    // Blocked in a read nothing can cancel: it holds no lock there, so ending it is safe.
    if (!ended && threadHandle) TerminateThread(threadHandle, 1);
    guard.unlock();
    thread.join();
    if (threadHandle) CloseHandle(threadHandle);
    threadHandle = nullptr;
}
