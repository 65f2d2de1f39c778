#include "probe/PluginLibrary.h"

#include <windows.h>

#include "probe/FixedFileInfo.h"
#include "probe/LoadedModules.h"
#include "probe/VersionText.h"
#include "protocol/Format.h"
#include "protocol/Utf8.h"

namespace {

// The libraries that the plug-in depends on are searched for in the plug-in's own folder
// first, not in the server's.
constexpr DWORD kLoadFlags = LOAD_WITH_ALTERED_SEARCH_PATH;
constexpr int kSynthEditResourceId = 165;

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

PluginModule OpenPluginModule(const std::u16string& path, std::u16string& error)
{
    NoteLoadedModules(path);
    HMODULE module = LoadLibraryExW(Wide(path), nullptr, kLoadFlags);
    if (module == nullptr) error = FormatString(u"Failed to load library, err=%i", static_cast<int>(GetLastError()));
    return module;
}

void* FindExport(PluginModule module, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

std::u16string ResourceVersionText(const std::u16string& path)
{
    VS_FIXEDFILEINFO info{};
    if (!ReadFixedFileInfo(Wide(path), info)) return u"";
    return FormatResourceVersion(info.dwProductVersionMS, info.dwProductVersionLS, info.dwFileVersionMS,
                                 info.dwFileVersionLS);
}

bool HasSynthEditResource(PluginModule module)
{
    return FindResourceW(static_cast<HMODULE>(module), MAKEINTRESOURCEW(kSynthEditResourceId), L"SE1") != nullptr;
}

bool IsFolder(const std::u16string& path)
{
    const DWORD attributes = GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::u16string& path) { return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES; }

std::string SystemPath(const std::u16string& path) { return ToUtf8(path); }
