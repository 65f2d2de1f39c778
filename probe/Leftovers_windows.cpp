// What a plug-in leaves behind when its library is freed: windows of the server's thread whose
// procedure or class is in the freed code. A timer of such a window, or any message to it, would
// run code that is no longer there, on the server's own thread, in the middle of the next
// plug-in's scan. They are destroyed harmlessly and named in a warning, so that the host blames
// the plug-in that left them and retires the server before it serves another.
#include "probe/PluginLibrary.h"

#include <windows.h>

#include <string>
#include <vector>

#include "probe/LoadedModules.h"
#include "protocol/Format.h"
#include "protocol/LeftBehind.h"
#include "protocol/LogLine.h"

namespace {

constexpr size_t kMostNamed = 3;

struct CRange {
    uintptr_t begin = 0, end = 0;
    bool Holds(uintptr_t address) const { return address >= begin && address < end; }
};

CRange ImageRange(HMODULE module)
{
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return {reinterpret_cast<uintptr_t>(base), reinterpret_cast<uintptr_t>(base) + nt->OptionalHeader.SizeOfImage};
}

struct CSweep {
    CRange freed;
    std::vector<HWND> found;
};

// Only the server's own thread matters: it is the one that dispatches messages between
// requests. A window of another thread runs on that thread, a leftover the host watches.
bool OnThisThread(HWND window) { return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId(); }

void Consider(HWND window, CSweep& sweep)
{
    const auto procedure = static_cast<uintptr_t>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    const auto classModule = static_cast<uintptr_t>(GetClassLongPtrW(window, GCLP_HMODULE));
    if (sweep.freed.Holds(procedure) || sweep.freed.Holds(classModule)) sweep.found.push_back(window);
}

BOOL CALLBACK ConsiderChild(HWND window, LPARAM context)
{
    Consider(window, *reinterpret_cast<CSweep*>(context));
    return TRUE;
}

BOOL CALLBACK ConsiderTopLevel(HWND window, LPARAM context)
{
    if (!OnThisThread(window)) return TRUE;
    Consider(window, *reinterpret_cast<CSweep*>(context));
    EnumChildWindows(window, ConsiderChild, context);
    return TRUE;
}

std::u16string Describe(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return FormatString(u"a window of class \"%s\"%s", reinterpret_cast<const char16_t*>(name),
                        IsWindowVisible(window) ? u" (visible)" : u"");
}

// A vectored exception handler the freed code registered runs on the next exception anywhere
// in the process: a plug-in's own, or one of the system's. An exception raised here, with a
// handler of ours last in the list to take it, reaches every earlier handler now, in the
// request of the plug-in that left it, instead of in an innocent one's.
constexpr DWORD kProbeException = 0xE0544C42;  // 'TLB', for "tested, left behind"

LONG CALLBACK TakeProbe(EXCEPTION_POINTERS* exception)
{
    return exception->ExceptionRecord->ExceptionCode == kProbeException ? EXCEPTION_CONTINUE_EXECUTION
                                                                        : EXCEPTION_CONTINUE_SEARCH;
}

void RunExceptionHandlers()
{
    void* ours = AddVectoredExceptionHandler(0, TakeProbe);
    if (ours == nullptr) return;
    RaiseException(kProbeException, 0, 0, nullptr);
    RemoveVectoredExceptionHandler(ours);
}

// The windows of the server's thread whose code was in the freed library, destroyed; what
// they were, or empty.
std::u16string SweepWindows(const CRange& freed)
{
    RunExceptionHandlers();
    // The thread's own windows are listed in a few microseconds. Message-only windows are not
    // looked for: they can be listed only for the whole desktop, a round trip through the
    // wineserver for each, about 0.2 ms on every request; one left behind that faults later is
    // confirmed alone, like any fault on this thread outside the server's code.
    CSweep sweep{freed, {}};
    EnumThreadWindows(GetCurrentThreadId(), ConsiderTopLevel, reinterpret_cast<LPARAM>(&sweep));
    if (sweep.found.empty()) return u"";

    std::u16string named;
    for (size_t i = 0; i < sweep.found.size() && i < kMostNamed; ++i) named += (i ? u", " : u"") + Describe(sweep.found[i]);
    if (sweep.found.size() > kMostNamed) named += FormatString(u", %u in all", static_cast<unsigned>(sweep.found.size()));
    // Destroyed with a procedure of the system's, so that no message reaches the freed code;
    // their timers go with them.
    int destroyed = 0;
    for (auto window = sweep.found.rbegin(); window != sweep.found.rend(); ++window) {
        if (!IsWindow(*window)) continue;
        SetWindowLongPtrW(*window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
        destroyed += DestroyWindow(*window) ? 1 : 0;
    }
    return named + FormatString(u" whose code was in the library; %i destroyed", destroyed);
}

}  // namespace

void FreeLibraryAndSweep(PluginModule library)
{
    const auto module = static_cast<HMODULE>(library);
    const CRange freed = ImageRange(module);
    FreeLibrary(module);
    HMODULE still = nullptr;
    std::u16string left;
    // Still loaded: the plug-in holds a reference of its own, and its code is there.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(freed.begin), &still))
        left = SweepWindows(freed);
    const std::u16string modules = ModulesLeftLoaded();
    if (!modules.empty()) left += (left.empty() ? u"" : u"; ") + modules;
    if (!left.empty()) LogWarn(u"%S%s\n", kLeftBehindPrefix, left.c_str());
}
