// The folders where Windows installers put plug-ins: known folders, the registry, CLAP_PATH.
#include "scanner/StandardFolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "host/WindowsText.h"
#include "scanner/FolderList.h"

namespace {

std::wstring KnownFolder(const KNOWNFOLDERID& id)
{
    wchar_t* path = nullptr;
    std::wstring found;
    if (SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path) == S_OK && path) found = path;
    CoTaskMemFree(path);
    return found;
}

// A text value in one view of the registry (64-bit or 32-bit, as WOW6432Node); expanded.
std::wstring RegistryText(HKEY root, REGSAM view, const wchar_t* key, const wchar_t* value)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return L"";
    std::wstring text;
    DWORD bytes = 0;
    // REG_EXPAND_SZ values come expanded, as REG_SZ.
    const DWORD types = RRF_RT_REG_SZ;
    if (RegGetValueW(opened, nullptr, value, types, nullptr, nullptr, &bytes) == ERROR_SUCCESS && bytes >= sizeof(wchar_t)) {
        text.resize(bytes / sizeof(wchar_t));
        if (RegGetValueW(opened, nullptr, value, types, nullptr, text.data(), &bytes) == ERROR_SUCCESS)
            text.resize(wcsnlen(text.c_str(), text.size()));
        else
            text.clear();
    }
    RegCloseKey(opened);
    return text;
}

std::wstring Environment(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return L"";
    std::wstring text(size, L'\0');
    text.resize(GetEnvironmentVariableW(name, text.data(), size));
    return text;
}

}  // namespace

// A folder named in full: a drive's, a share's, or a Linux one under Wine. A relative entry of
// CLAP_PATH or the registry would depend on the folder the scanner happens to start in.
bool IsAbsoluteFolder(const NativeText& folder)
{
    return (folder.size() >= 3 && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/')) ||
           folder.rfind(L"\\\\", 0) == 0 || folder.rfind(L"/", 0) == 0;
}

std::vector<CStandardFolder> StandardFolders(CFormatChoice chosen)
{
    CFolderList list(chosen);
    const std::wstring common = KnownFolder(FOLDERID_ProgramFilesCommon);
    const std::wstring common86 = KnownFolder(FOLDERID_ProgramFilesCommonX86);
    const std::wstring programs = KnownFolder(FOLDERID_ProgramFiles);
    const std::wstring programs86 = KnownFolder(FOLDERID_ProgramFilesX86);
    const std::wstring userCommon = KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Common";
    auto under = [](const std::wstring& root, const wchar_t* rest) { return root.empty() ? root : root + rest; };

    list.Add(under(common, L"\\VST3"), "%CommonProgramFiles%\\VST3", kVst3Only);
    list.Add(under(common86, L"\\VST3"), "%CommonProgramFiles(x86)%\\VST3", kVst3Only);
    list.Add(under(userCommon, L"\\VST3"), "%LOCALAPPDATA%\\Programs\\Common\\VST3", kVst3Only);

    list.Add(under(common, L"\\CLAP"), "%CommonProgramFiles%\\CLAP", kClapOnly);
    list.Add(under(userCommon, L"\\CLAP"), "%LOCALAPPDATA%\\Programs\\Common\\CLAP", kClapOnly);
    const std::wstring clapPath = Environment(L"CLAP_PATH");
    for (size_t start = 0; start < clapPath.size();) {
        const size_t end = std::min(clapPath.find(L';', start), clapPath.size());
        list.Add(clapPath.substr(start, end - start), "CLAP_PATH", kClapOnly);
        start = end + 1;
    }

    const wchar_t* const vstKey = L"SOFTWARE\\VST";
    list.Add(RegistryText(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, vstKey, L"VSTPluginsPath"),
             "HKLM\\SOFTWARE\\VST\\VSTPluginsPath", kVst2Only);
    list.Add(RegistryText(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, vstKey, L"VSTPluginsPath"),
             "HKLM\\SOFTWARE\\WOW6432Node\\VST\\VSTPluginsPath", kVst2Only);
    list.Add(RegistryText(HKEY_CURRENT_USER, KEY_WOW64_64KEY, vstKey, L"VSTPluginsPath"),
             "HKCU\\SOFTWARE\\VST\\VSTPluginsPath", kVst2Only);
    for (const auto& [root, name] : {std::pair{programs, "%ProgramFiles%"}, std::pair{programs86, "%ProgramFiles(x86)%"}}) {
        list.Add(under(root, L"\\VSTPlugins"), std::string(name) + "\\VSTPlugins", kVst2Only);
        list.Add(under(root, L"\\Steinberg\\VSTPlugins"), std::string(name) + "\\Steinberg\\VSTPlugins", kVst2Only);
    }
    for (const auto& [root, name] : {std::pair{common, "%CommonProgramFiles%"}, std::pair{common86, "%CommonProgramFiles(x86)%"}}) {
        list.Add(under(root, L"\\VST2"), std::string(name) + "\\VST2", kVst2Only);
        list.Add(under(root, L"\\Steinberg\\VST2"), std::string(name) + "\\Steinberg\\VST2", kVst2Only);
    }
    return list.folders;
}
