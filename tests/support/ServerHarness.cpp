#include "tests/support/ServerHarness.h"

#include <chrono>

#include "host/WindowsText.h"

namespace {

std::wstring Hex(HANDLE handle)
{
    wchar_t text[32];
    swprintf(text, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
    return text;
}

}  // namespace

std::wstring BinaryFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::wstring PluginPath(const std::wstring& name) { return BinaryFolder() + L"\\plugins\\" + name + L".dll"; }

int CountOf(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
    return count;
}

CServerProcess::CServerProcess(const CServerOptions& chosen) : options(chosen)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE requestRead = nullptr, outputWrite = nullptr;
    CreatePipe(&requestRead, &requestWrite, &inheritable, 0);
    CreatePipe(&outputRead, &outputWrite, &inheritable, 0);
    // Only the server's ends are inherited; ours must close when we close them.
    SetHandleInformation(requestWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = QuoteArgument(BinaryFolder() + L"\\" + options.serverName);
    if (!options.requestArgument.empty()) commandLine += L" " + options.requestArgument;
    else commandLine += L" " + (options.passRequestPipe ? Hex(requestRead) : std::wstring(L"0"));
    commandLine += L" " + (options.passOutputPipe ? Hex(outputWrite) : std::wstring(L"0"));
    commandLine += L" " + options.windowArgument;
    if (options.passDumpFolder) commandLine += L" " + QuoteArgument(options.dumpFolder);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = options.passOutputPipe ? GetStdHandle(STD_OUTPUT_HANDLE) : outputWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        process = info.hProcess;
        CloseHandle(info.hThread);
    }
    CloseHandle(requestRead);
    CloseHandle(outputWrite);
    reader = std::thread([this] { ReadOutput(); });
}

CServerProcess::~CServerProcess()
{
    CloseRequests();
    if (process && WaitForSingleObject(process, options.timeoutMs) != WAIT_OBJECT_0) Kill();
    reader.join();
    CloseHandle(outputRead);
    if (process) CloseHandle(process);
}

void CServerProcess::ReadOutput()
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

template <typename Predicate>
bool CServerProcess::WaitFor(Predicate done)
{
    std::unique_lock<std::mutex> guard(lock);
    changed.wait_for(guard, std::chrono::milliseconds(options.timeoutMs), [&] { return done() || outputEnded; });
    return done();
}

bool CServerProcess::WaitForReady(int count)
{
    return WaitFor([&] { return CountOf(output, "ready:\n") >= count; });
}

bool CServerProcess::WaitForOutput(const std::string& text)
{
    return WaitFor([&] { return output.find(text) != std::string::npos; });
}

void CServerProcess::Send(const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(requestWrite, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void CServerProcess::CloseRequests()
{
    if (requestWrite) CloseHandle(requestWrite);
    requestWrite = nullptr;
}

DWORD CServerProcess::WaitForExit()
{
    if (!process) return STILL_ACTIVE;
    WaitForSingleObject(process, options.timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

void CServerProcess::Kill()
{
    if (process) TerminateProcess(process, 1);
}

std::string CServerProcess::Output()
{
    std::lock_guard<std::mutex> guard(lock);
    return output;
}

std::string RunRequests(const std::vector<std::string>& requests, const CServerOptions& options, DWORD* exitCode)
{
    CServerProcess server(options);
    int ready = 1;
    for (const auto& request : requests) {
        if (!server.WaitForReady(ready++)) break;
        server.Send(request);
    }
    server.WaitForReady(ready);
    server.CloseRequests();
    const DWORD code = server.WaitForExit();
    if (exitCode) *exitCode = code;
    if (code == STILL_ACTIVE) server.Kill();
    return server.Output();
}
