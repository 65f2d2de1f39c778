#include "tests/support/ProgramRunner.h"

namespace {

void Drain(HANDLE pipe, std::string& into)
{
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(pipe, chunk, sizeof(chunk), &count, nullptr) && count > 0) into.append(chunk, count);
}

}  // namespace

CProgram::CProgram(const std::wstring& commandLine)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outWrite = nullptr, errWrite = nullptr;
    CreatePipe(&outRead, &outWrite, &inheritable, 0);
    CreatePipe(&errRead, &errWrite, &inheritable, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        process = info.hProcess;
        CloseHandle(info.hThread);
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    outReader = std::thread(Drain, outRead, std::ref(out));
    errReader = std::thread(Drain, errRead, std::ref(err));
}

CProgram::~CProgram()
{
    if (process && WaitForSingleObject(process, 0) != WAIT_OBJECT_0) Kill();
    if (outReader.joinable()) outReader.join();
    if (errReader.joinable()) errReader.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    if (process) CloseHandle(process);
}

DWORD CProgram::Wait(DWORD timeoutMs)
{
    if (!process || WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    // Its output is complete once both pipes have closed.
    if (outReader.joinable()) outReader.join();
    if (errReader.joinable()) errReader.join();
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

void CProgram::Kill()
{
    if (process) TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
}
