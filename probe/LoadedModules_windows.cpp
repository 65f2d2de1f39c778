// The process's module list (K32EnumProcessModules, kernel32's own since Windows 7). The
// system's folders' libraries are shared by every plug-in and stay loaded by design.
#include "probe/LoadedModules.h"

#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol/Format.h"

namespace {

constexpr size_t kMostNamed = 3;

std::vector<HMODULE> LoadedBefore;
std::wstring OpenedLibrary;

std::vector<HMODULE> LoadedModules()
{
    std::vector<HMODULE> modules(256);
    for (;;) {
        DWORD needed = 0;
        if (!K32EnumProcessModules(GetCurrentProcess(), modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed))
            return {};
        if (needed <= modules.size() * sizeof(HMODULE)) {
            modules.resize(needed / sizeof(HMODULE));
            return modules;
        }
        modules.resize(needed / sizeof(HMODULE) + 16);
    }
}

std::wstring Lower(std::wstring text)
{
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring FolderOf(UINT (WINAPI* get)(LPWSTR, UINT))
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = get(buffer, MAX_PATH);
    return length > 0 && length <= MAX_PATH ? Lower(std::wstring(buffer, length)) + L"\\" : L"";
}

// The Windows folder holds the system's libraries, side-by-side assemblies and Wine's own.
bool IsSystemLibrary(const std::wstring& lowerPath)
{
    static const std::wstring windows = FolderOf(GetWindowsDirectoryW);
    return !windows.empty() && lowerPath.rfind(windows, 0) == 0;
}

}  // namespace

void NoteLoadedModules(const std::u16string& pluginPath)
{
    LoadedBefore = LoadedModules();
    std::sort(LoadedBefore.begin(), LoadedBefore.end());
    OpenedLibrary = Lower(std::wstring(pluginPath.begin(), pluginPath.end()));
}

std::u16string ModulesLeftLoaded()
{
    std::u16string named;
    size_t count = 0;
    for (HMODULE module : LoadedModules()) {
        if (std::binary_search(LoadedBefore.begin(), LoadedBefore.end(), module)) continue;
        wchar_t buffer[MAX_PATH + 1] = {};
        const DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
        const std::wstring path(buffer, length);
        const std::wstring lower = Lower(path);
        if (length == 0 || lower == OpenedLibrary || IsSystemLibrary(lower)) continue;
        if (count++ < kMostNamed)
            named += (named.empty() ? u"" : u", ") + std::u16string(path.begin(), path.end());
    }
    if (count > kMostNamed) named += FormatString(u", %u in all", static_cast<unsigned>(count));
    return named.empty() ? named : u"the library " + named + u" still loaded";
}
