#include "tests/support/ServerHarness.h"

#include <chrono>

std::wstring PluginPath(const std::wstring& name) { return ProgramFolder() + L"\\plugins\\" + name + L".dll"; }

int CountOf(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
    return count;
}

CServerProcess::CServerProcess(const CServerOptions& chosen) : options(chosen)
{
    CChildStart how;
    how.commandLine = [&](const std::wstring& requestEnd, const std::wstring& outputEnd) {
        std::wstring line = QuoteArgument(ProgramFolder() + L"\\" + options.serverName);
        if (!options.requestArgument.empty()) line += L" " + options.requestArgument;
        else line += L" " + (options.passRequestPipe ? requestEnd : std::wstring(L"0"));
        line += L" " + (options.passOutputPipe ? outputEnd : std::wstring(L"0"));
        line += L" " + options.windowArgument;
        if (options.passDumpFolder) line += L" " + QuoteArgument(options.dumpFolder);
        return line;
    };
    how.outputIsStandardOutput = !options.passOutputPipe;
    std::string problem;
    child.Start(how, problem);
}

CServerProcess::~CServerProcess() { child.End(false, options.timeoutMs); }

bool CServerProcess::WaitForReady(int count)
{
    return child.WaitForOutput([&](const std::string& output) { return CountOf(output, "ready:\n") >= count; },
                               std::chrono::milliseconds(options.timeoutMs));
}

bool CServerProcess::WaitForOutput(const std::string& text)
{
    return child.WaitForOutput([&](const std::string& output) { return output.find(text) != std::string::npos; },
                               std::chrono::milliseconds(options.timeoutMs));
}

void CServerProcess::Send(const std::string& bytes) { child.Write(bytes); }

void CServerProcess::CloseRequests() { child.CloseRequests(); }

DWORD CServerProcess::WaitForExit() { return child.WaitForExit(options.timeoutMs); }

void CServerProcess::Kill() { child.Terminate(1); }

std::string CServerProcess::Output()
{
    // A process that has ended may still have its last lines in the pipe, on their way to the
    // reader: they are waited for until the pipe ends, briefly, in case a helper holds it.
    if (child.WaitForExit(0) != STILL_ACTIVE)
        child.WaitForOutput([](const std::string&) { return false; }, std::chrono::milliseconds(2000));
    return child.Output();
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
