#include "scanner/PathKeys.h"

#include <windows.h>

#include <vector>

#include "host/WindowsText.h"

namespace {

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

// The long form of a full path, found component by component: each name with a "~", which
// may be a short (8.3) one, is looked up in its folder. Wine's GetLongPathNameW overflows a
// fixed buffer when the long form passes about 1,024 characters, however short the path it
// is given; this has no such bound. A component that is not there ends the lengthening.
std::wstring Lengthened(const std::wstring& full)
{
    // Only a path on a drive ("C:\...") is lengthened: it can take the "\\?\" prefix that lifts
    // the system's own bound on the path a lookup is given.
    if (full.size() < 3 || full[1] != L':' || full[2] != L'\\') return full;
    std::wstring result = full.substr(0, 3);
    size_t start = 3;
    while (start < full.size()) {
        const size_t end = std::min(full.find(L'\\', start), full.size());
        const std::wstring name = full.substr(start, end - start);
        WIN32_FIND_DATAW found{};
        HANDLE search = INVALID_HANDLE_VALUE;
        if (name.find(L'~') != std::wstring::npos && name.find_first_of(L"*?") == std::wstring::npos)
            search = FindFirstFileExW((L"\\\\?\\" + result + name).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                      nullptr, 0);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            result += found.cFileName;
        } else {
            result += name;
        }
        if (end < full.size()) result += L'\\';
        start = end + 1;
    }
    return result;
}

}  // namespace

NativeText NormalPath(const NativeText& given)
{
    const std::wstring path = FromLinuxPath(given);
    std::wstring full = WithGrowingBuffer(
        [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
    if (full.empty()) return L"";
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    // Short (8.3) names become long ones; what does not exist stays as it is. Only a path with
    // a "~" can hold a short name.
    if (full.find(L'~') == std::wstring::npos) return full;
    return Lengthened(full);
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
