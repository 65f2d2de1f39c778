#include "host/ChildProcess.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "host/FileTime.h"

namespace {

constexpr DWORD kReaderGraceMs = 2000;
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

struct CChildProcess::CNative {
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    HANDLE requestWrite = nullptr;
    HANDLE outputRead = nullptr;
    HANDLE readerThread = nullptr;
    HANDLE consoleRead = nullptr;
};

namespace {

// Reads the pipe until it ends, handing each chunk to `take` under the lock.
void ReadPipe(HANDLE pipe, HANDLE& threadHandle, std::mutex& lock, std::condition_variable& changed, bool& ended,
              const std::function<void(const char*, size_t)>& take)
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

// Waits for a reader thread; one still blocked after a while has its read cancelled, so that
// a process outside our reach holding a pipe end cannot make us wait for ever.
void StopReader(std::thread& thread, HANDLE& threadHandle, std::mutex& lock, std::condition_variable& changed,
                const bool& ended)
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

}  // namespace

CChildProcess::CChildProcess() = default;
CChildProcess::~CChildProcess() { End(true, 0); }

void* CChildProcess::Process() const { return native ? native->process : nullptr; }
void* CChildProcess::Job() const { return native ? native->job : nullptr; }
uint32_t CChildProcess::ProcessId() const { return native && native->process ? GetProcessId(native->process) : 0; }
bool CChildProcess::HasExited() { return !native || !native->process || WaitForSingleObject(native->process, 0) == WAIT_OBJECT_0; }

bool CChildProcess::Start(const CChildStart& how, std::string& problem)
{
    native = std::make_unique<CNative>();
    HANDLE& requestWrite = native->requestWrite;
    HANDLE& outputRead = native->outputRead;
    HANDLE& consoleRead = native->consoleRead;
    HANDLE& job = native->job;
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
    native->process = info.hProcess;
    Begin();
    consoleEnded = consoleRead == nullptr;
    reader = std::thread([this] {
        ReadPipe(native->outputRead, native->readerThread, lock, changed, outputEnded,
                 [this](const char* bytes, size_t count) { Keep(bytes, count); });
    });
    if (consoleRead) consoleReader = std::thread([this] { WatchConsole(); });
    return true;
}

// The console pipe is never read with a blocking call, so that whoever asks for its text can
// take what is in it at once: what a plug-in printed belongs to its own scan, not to the next.
// Called with the lock held; false once the pipe has ended.
bool CChildProcess::DrainConsole()
{
    if (!native || !native->consoleRead) return false;
    char chunk[4096];
    DWORD waiting = 0, count = 0;
    while (PeekNamedPipe(native->consoleRead, nullptr, 0, nullptr, &waiting, nullptr)) {
        if (waiting == 0) return true;
        if (!ReadFile(native->consoleRead, chunk, std::min<DWORD>(waiting, sizeof(chunk)), &count, nullptr)) break;
        KeepConsole(chunk, count);
    }
    return false;
}

bool CChildProcess::Write(const std::string& bytes)
{
    DWORD written = 0;
    HANDLE requestWrite = native ? native->requestWrite : nullptr;
    return requestWrite && WriteFile(requestWrite, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void CChildProcess::CloseRequests()
{
    if (!native) return;
    if (native->requestWrite) CloseHandle(native->requestWrite);
    native->requestWrite = nullptr;
}

uint32_t CChildProcess::WaitForExit(uint32_t waitMs)
{
    HANDLE process = Process();
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
    HANDLE process = Process();
    if (!process || !GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::chrono::steady_clock::now();
    return SteadyTimeOf(exited);
}

void CChildProcess::EndJobHelpers()
{
    HANDLE job = Job();
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

void CChildProcess::Terminate(uint32_t exitCode)
{
    if (HANDLE process = Process()) TerminateProcess(process, exitCode);
}

void CChildProcess::End(bool kill, uint32_t waitMs)
{
    if (!running) return;
    CNative& handles = *native;
    CloseRequests();
    constexpr DWORD kKilledExitCode = 1;
    if (kill || WaitForSingleObject(handles.process, waitMs) != WAIT_OBJECT_0) TerminateProcess(handles.process, kKilledExitCode);
    WaitForSingleObject(handles.process, 5000);
    if (handles.job) {
        TerminateJobObject(handles.job, kKilledExitCode);
        CloseHandle(handles.job);
        handles.job = nullptr;
    }
    StopReader(reader, handles.readerThread, lock, changed, outputEnded);
    StopConsoleWatch();
    for (HANDLE* handle : {&handles.outputRead, &handles.consoleRead}) {
        if (*handle) CloseHandle(*handle);
        *handle = nullptr;
    }
    CloseHandle(handles.process);
    handles.process = nullptr;
    running = false;
}

void EndEveryChild() {}
