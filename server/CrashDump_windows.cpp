#include "server/CrashDump.h"

#include <windows.h>

#include <dbghelp.h>  // types only: DbgHelp itself is loaded by name when a dump is written

#include <cstring>
#include <string>
#include <vector>

#include "probe/AudioThread.h"
#include "protocol/CrashThread.h"
#include "protocol/LogLine.h"
#include "protocol/Platform.h"
#include "server/DumpFileName.h"

static LONG WINAPI HandleCrash(EXCEPTION_POINTERS* exception);

namespace {

using MiniDumpWriteDumpFunction = decltype(&MiniDumpWriteDump);

// Room the system keeps on the main thread's stack for the filter after a stack overflow.
constexpr ULONG kFilterStackGuarantee = 64 * 1024;

CRITICAL_SECTION CrashLock;
std::u16string DumpBaseName;
std::u16string CrashFolder;
// Sized when the folder is set: the filter must not allocate on a heap a crash may have broken.
std::vector<char16_t> DumpPathBuffer;

// The dump is written by a thread prepared at start-up, never by the faulting thread: after a
// stack overflow that one has no stack left for MiniDumpWriteDump, and reserving more with
// SetThreadStackGuarantee is not enough. The faulting thread hands over its exception and
// waits; a fault of the writer itself ends the process at once.
DWORD DumpWriterId = 0;
HANDLE DumpRequested = nullptr;
HANDLE DumpWritten = nullptr;
EXCEPTION_POINTERS* PendingException = nullptr;
DWORD PendingThreadId = 0;
const char* PendingThreadLine = nullptr;  // which thread, when two ran plug-in code
bool DumpWriterFailed = false;  // DbgHelp could not be had

void WriteDump()
{
    HMODULE dbgHelp = LoadLibraryW(L"DbgHelp.dll");
    auto writeDump = dbgHelp ? reinterpret_cast<MiniDumpWriteDumpFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(dbgHelp, "MiniDumpWriteDump")))
                             : nullptr;
    if (writeDump == nullptr) {
        DumpWriterFailed = true;
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    const CDumpTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    if (!FormatDumpPath(DumpPathBuffer.data(), DumpPathBuffer.size(), CrashFolder.c_str(), DumpBaseName.c_str(), time))
        return;
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(DumpPathBuffer.data()), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    MINIDUMP_EXCEPTION_INFORMATION information{PendingThreadId, PendingException, FALSE};
    writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &information, nullptr, nullptr);
    CloseHandle(file);
}

// The lowest pages of the main thread's stack, taken at start-up: a thread that ran into
// them overflowed its stack.
void* MainStackBottom = nullptr;
HANDLE MainThread = nullptr;

bool MainStackWasExhausted()
{
    MEMORY_BASIC_INFORMATION region{};
    const auto lastPages = static_cast<char*>(MainStackBottom) + 2 * 4096;
    return MainStackBottom && VirtualQuery(lastPages, &region, sizeof(region)) && region.State == MEM_COMMIT;
}

void SayCrashThread(const char* line)
{
    if (line) WriteOutput(line, strlen(line));
}

DWORD WINAPI DumpWriterThread(void*)
{
    // Wine cannot hand an exception to a thread that has less than a page of stack left: it
    // ends that thread without a filter ever running. The main thread never ends while the
    // process goes on, so when it does, that is the crash, and its dump is written from here.
    HANDLE events[] = {DumpRequested, MainThread};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        EXCEPTION_RECORD record{};
        record.ExceptionCode = MainStackWasExhausted() ? EXCEPTION_STACK_OVERFLOW : EXCEPTION_NONCONTINUABLE_EXCEPTION;
        CONTEXT context{};
        RtlCaptureContext(&context);
        EXCEPTION_POINTERS pointers{&record, &context};
        PendingException = &pointers;
        PendingThreadId = GetCurrentThreadId();
        if (!CrashFolder.empty()) WriteDump();
        SayCrashThread(CrashThreadLine(BothThreadsRun.load(), false));
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kCrashExitCode));
    }
    WriteDump();
    SayCrashThread(PendingThreadLine);
    SetEvent(DumpWritten);
    return 0;
}

}  // namespace

void InitCrashHandling()
{
    InitializeCriticalSection(&CrashLock);
    DumpBaseName = u"ScanServer";
    DumpBaseName += u"-";
    DumpBaseName += kPlatformName;
    DumpRequested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &MainThread, SYNCHRONIZE, FALSE, 0);
    MEMORY_BASIC_INFORMATION stack{};
    if (VirtualQuery(&stack, &stack, sizeof(stack))) MainStackBottom = stack.AllocationBase;
    DumpWritten = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, DumpWriterThread, nullptr, 0, &DumpWriterId));
    ULONG guarantee = kFilterStackGuarantee;
    SetThreadStackGuarantee(&guarantee);
    SetUnhandledExceptionFilter(HandleCrash);
}

void SetCrashFolder(const char16_t* folder)
{
    CrashFolder = folder;
    DumpPathBuffer.assign(CrashFolder.size() + DumpBaseName.size() + kDumpNameFixedUnits, u'\0');
}

void RestoreCrashFilter() { SetUnhandledExceptionFilter(HandleCrash); }

static LONG WINAPI HandleCrash(EXCEPTION_POINTERS* exception)
{
    if (!CrashFolder.empty() && GetCurrentThreadId() != DumpWriterId) {
        // A second thread that crashes meanwhile waits here until the process is ended: one dump.
        EnterCriticalSection(&CrashLock);
        PendingException = exception;
        PendingThreadId = GetCurrentThreadId();
        PendingThreadLine = CrashThreadLine(BothThreadsRun.load(), OnAudioThread());
        SetEvent(DumpRequested);
        WaitForSingleObject(DumpWritten, INFINITE);
        if (DumpWriterFailed) {
            // Without DbgHelp the system's own handling of the crash follows.
            LeaveCriticalSection(&CrashLock);
            return EXCEPTION_CONTINUE_SEARCH;
        }
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kCrashExitCode));
    return EXCEPTION_CONTINUE_SEARCH;
}
