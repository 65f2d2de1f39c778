#include "server/CrashDump.h"

#include <dbghelp.h>  // types only: DbgHelp itself is loaded by name when a dump is written

#include <string>
#include <vector>

#include "server/DumpFileName.h"

namespace {

using MiniDumpWriteDumpFunction = decltype(&MiniDumpWriteDump);

CRITICAL_SECTION CrashLock;
// The thread writing a dump; a fault of its own while it writes ends the process at once.
DWORD DumpingThread = 0;
std::u16string DumpBaseName;
std::u16string CrashFolder;
// Sized when the folder is set: the filter must not allocate on a heap a crash may have broken.
std::vector<char16_t> DumpPathBuffer;

}  // namespace

void InitCrashHandling()
{
    InitializeCriticalSection(&CrashLock);
    DumpBaseName = u"ScanServer";
    DumpBaseName += u"-x64";
    SetUnhandledExceptionFilter(CrashFilter);
}

void SetCrashFolder(const wchar_t* folder)
{
    CrashFolder = reinterpret_cast<const char16_t*>(folder);
    DumpPathBuffer.assign(CrashFolder.size() + DumpBaseName.size() + kDumpNameFixedUnits, u'\0');
}

void RestoreCrashFilter() { SetUnhandledExceptionFilter(CrashFilter); }

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception)
{
    if (!CrashFolder.empty() && DumpingThread != GetCurrentThreadId()) {
        EnterCriticalSection(&CrashLock);
        DumpingThread = GetCurrentThreadId();
        HMODULE dbgHelp = LoadLibraryW(L"DbgHelp.dll");
        auto writeDump = dbgHelp ? reinterpret_cast<MiniDumpWriteDumpFunction>(
                                       reinterpret_cast<void*>(GetProcAddress(dbgHelp, "MiniDumpWriteDump")))
                                 : nullptr;
        if (writeDump == nullptr) {
            // Without DbgHelp the system's own handling of the crash follows.
            DumpingThread = 0;
            LeaveCriticalSection(&CrashLock);
            return EXCEPTION_CONTINUE_SEARCH;
        }
        SYSTEMTIME now;
        GetLocalTime(&now);
        const CDumpTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
        if (FormatDumpPath(DumpPathBuffer.data(), DumpPathBuffer.size(), CrashFolder.c_str(), DumpBaseName.c_str(), time)) {
            HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(DumpPathBuffer.data()), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                MINIDUMP_EXCEPTION_INFORMATION information{GetCurrentThreadId(), exception, FALSE};
                writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &information, nullptr, nullptr);
                CloseHandle(file);
            }
        }
        LeaveCriticalSection(&CrashLock);
    }
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    return EXCEPTION_CONTINUE_SEARCH;
}
