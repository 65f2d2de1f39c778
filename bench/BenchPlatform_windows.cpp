#include "bench/BenchPlatform.h"

#include <windows.h>

#include <chrono>

#include "host/Paths.h"
#include "host/WindowsText.h"

std::string BenchFolder() { return ToUtf8(ProgramFolder()); }

NativeText BenchServerPath() { return ProgramFolder() + L"\\ScanServer-x64.exe"; }

std::string QuotedArgument(const std::string& argument) { return ToUtf8(QuoteArgument(FromUtf8(argument))); }

// An effect with no runtime at all: the least a plug-in's own loading can cost.
std::string CopiedPlugin() { return BenchFolder() + "\\bench-plugins\\no_runtime_effect.dll"; }

double RunScanner(const std::string& arguments, const std::string&)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    std::wstring commandLine = QuoteArgument(ProgramFolder() + L"\\tessarine-scan.exe") + L" " + FromUtf8(arguments);
    PROCESS_INFORMATION info{};
    const auto started = std::chrono::steady_clock::now();
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        WaitForSingleObject(info.hProcess, INFINITE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (info.hProcess) {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(nul);
    return seconds;
}
