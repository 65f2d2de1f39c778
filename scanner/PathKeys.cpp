#include "scanner/PathKeys.h"

#include <windows.h>

#include <vector>

#include "host/WindowsText.h"

namespace {

constexpr size_t kLongestPathToLengthen = 1000;

// Wine's own export; on Windows a path starting with "/" is one on the current drive.
using WineDosFileName = wchar_t* (*)(const char* unixPath);

std::wstring FromLinuxPath(const std::wstring& given)
{
    static const auto convert = reinterpret_cast<WineDosFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (convert == nullptr || given.empty() || given[0] != L'/') return given;
    wchar_t* dos = convert(ToUtf8(given).c_str());
    if (dos == nullptr) return given;
    std::wstring converted = dos;
    HeapFree(GetProcessHeap(), 0, dos);
    return converted;
}

// Calls a path function of the system with a buffer that grows until the result fits.
template <typename Call>
std::wstring WithGrowingBuffer(Call call)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return L"";
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);  // the size it needs, terminator included
    }
}

}  // namespace

std::wstring NormalPath(const std::wstring& given)
{
    const std::wstring path = FromLinuxPath(given);
    std::wstring full = WithGrowingBuffer(
        [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
    if (full.empty()) return L"";
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    // Short (8.3) names become long ones; a path that does not exist stays as it is. Only a
    // path with a "~" can hold a short name, and Wine's GetLongPathNameW overflows a fixed stack
    // buffer for paths of about 1,024 characters: longer paths keep their spelling.
    if (full.find(L'~') == std::wstring::npos || full.size() > kLongestPathToLengthen) return full;
    const std::wstring longPath = WithGrowingBuffer(
        [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(full.c_str(), buffer, size); });
    return longPath.empty() ? full : longPath;
}

std::string PathKey(const std::string& path)
{
    const std::wstring wide = FromUtf8(path);
    if (wide.empty()) return "";
    const int size = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), static_cast<int>(wide.size()),
                                   nullptr, 0, nullptr, nullptr, 0);
    std::wstring upper(size, L'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), static_cast<int>(wide.size()), upper.data(),
                  size, nullptr, nullptr, 0);
    return ToUtf8(upper);
}
