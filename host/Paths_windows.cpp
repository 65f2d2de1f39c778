#include "host/Paths.h"

#include <windows.h>

#include <vector>

NativeText ProgramFolder()
{
    // Long paths are allowed: grow the buffer until the whole name fits.
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) >= path.size() &&
           path.size() < 32768)
        path.resize(path.size() * 2);
    const std::wstring full(path.data(), length);
    return full.substr(0, full.find_last_of(L"\\/"));
}
