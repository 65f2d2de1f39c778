#include "host/ProcessThreads.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {
constexpr ULONG kNoMoreEntries = 0x8000001A;  // STATUS_NO_MORE_ENTRIES
}  // namespace

std::set<uint32_t> ThreadsOfProcess(void* process, uint32_t processId)
{
    // The process's own threads, one by one: a system-wide snapshot of every thread costs
    // milliseconds under Wine, where it goes through the wineserver, and is taken per answer.
    using NextThread = LONG(NTAPI*)(HANDLE, HANDLE, ACCESS_MASK, ULONG, ULONG, HANDLE*);
    static const auto next = reinterpret_cast<NextThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtGetNextThread")));
    std::set<uint32_t> ids;
    if (next != nullptr) {
        HANDLE thread = nullptr;
        for (;;) {
            HANDLE following = nullptr;
            const LONG status = next(process, thread, THREAD_QUERY_LIMITED_INFORMATION, 0, 0, &following);
            if (thread) CloseHandle(thread);
            // The end of the list; any other failure before the first thread falls back.
            if (status < 0 && (!ids.empty() || static_cast<ULONG>(status) == kNoMoreEntries)) return ids;
            if (status < 0) break;
            thread = following;
            ids.insert(GetThreadId(thread));
        }
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == processId) ids.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}
