#include "tests/plugins/PluginKit.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cstring>

void* ServerHandleArgument(int position)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const unsigned long long value = position < count ? std::wcstoull(arguments[position], nullptr, 16) : 0;
    LocalFree(arguments);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(value));
}

void WriteToServerOutput(const char* text)
{
    DWORD written = 0;
    WriteFile(ServerHandleArgument(2), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

void KeepLoaded()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&KeepLoaded), &self);
}

void HangForEver()
{
    for (;;) Sleep(1000);
}

void PauseMs(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

namespace {
DWORD WINAPI RunWork(void* work)
{
    reinterpret_cast<void (*)()>(work)();
    return 0;
}
}  // namespace

void RunOnNewThread(void (*work)(), bool wait)
{
    HANDLE thread = CreateThread(nullptr, 0, RunWork, reinterpret_cast<void*>(work), 0, nullptr);
    if (wait) WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

void EndProcess(int code) { ExitProcess(static_cast<UINT>(code)); }
