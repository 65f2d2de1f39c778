#include "tests/plugins/PluginKit.h"

#include <windows.h>
#include <shellapi.h>

#include <float.h>
#include <io.h>
#include <locale.h>
#include <xmmintrin.h>

#include <cstdio>
#include <cwchar>
#include <string>
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

namespace {
// The 32-bit build does not assume SSE elsewhere.
__attribute__((target("sse"))) unsigned SseControl() { return _mm_getcsr(); }
__attribute__((target("sse"))) void SetSseControl(unsigned mode) { _mm_setcsr(mode); }
}  // namespace

std::string ProcessStateText()
{
    char text[512];
    const int mask = _umask(0);
    _umask(mask);
    const LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(filter);
    uint16_t x87 = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(x87));
    char folder[256] = "";
    GetCurrentDirectoryA(sizeof(folder), folder);
    std::snprintf(text, sizeof(text), "%.1f %04x %04x %03o %x %p %s", 0.5, SseControl() & ~0x3Fu, x87, mask,
                  static_cast<unsigned>(GetErrorMode()), reinterpret_cast<void*>(filter), folder);
    return text;
}

void SpoilProcess()
{
    setlocale(LC_ALL, "German");
    _controlfp(_MCW_EM & ~_EM_ZERODIVIDE, _MCW_EM);
    SetSseControl(SseControl() | 0x8040);
    _umask(0077);
    SetErrorMode(0);
    SetUnhandledExceptionFilter(nullptr);
    SetCurrentDirectoryW(L"C:\\");
}

void LoadLibraryBeside(const char* relativePath)
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LoadLibraryBeside), &self);
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring beside(path, length);
    beside = beside.substr(0, beside.find_last_of(L'\\') + 1);
    for (const char* c = relativePath; *c; ++c) beside += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    LoadLibraryW(beside.c_str());
}
