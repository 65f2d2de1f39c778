#include "host/ChildProcess.h"

#include <vector>

namespace {

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

    // Only the child's two ends are inherited: named in an attribute list where the system
    // honours it, and inheritable only while this child is being created.
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
    if (how.outputIsStandardOutput) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdOutput = outputWrite;
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
    if (!created) {
        CloseHandle(requestWrite);
        CloseHandle(outputRead);
        requestWrite = outputRead = nullptr;
        problem = "error " + std::to_string(error);
        return false;
    }
    if (how.ownJob) {
        job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (job) {
            SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
            AssignProcessToJobObject(job, info.hProcess);
        }
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process = info.hProcess;
    output.clear();
    lineStart = 0;
    outputEnded = false;
    reader = std::thread([this] { ReadOutput(); });
    return true;
}

void CChildProcess::ReadOutput()
{
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(outputRead, chunk, sizeof(chunk), &count, nullptr) && count > 0) {
        std::lock_guard<std::mutex> guard(lock);
        output.append(chunk, count);
        changed.notify_all();
    }
    std::lock_guard<std::mutex> guard(lock);
    outputEnded = true;
    changed.notify_all();
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
    if (reader.joinable()) reader.join();
    CloseHandle(outputRead);
    outputRead = nullptr;
    CloseHandle(process);
    process = nullptr;
}
