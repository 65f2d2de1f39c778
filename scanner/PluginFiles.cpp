#include "scanner/PluginFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>

namespace {

std::string Iso8601(const FILETIME& time)
{
    SYSTEMTIME utc;
    FileTimeToSystemTime(&time, &utc);
    const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime) % 10000000;
    char text[40];
    snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02u.%07lluZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
             utc.wMinute, utc.wSecond, static_cast<unsigned long long>(ticks));
    return text;
}

bool EndsWithDll(const std::wstring& name)
{
    return name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".dll") == 0;
}

void AddFile(const std::wstring& path, const WIN32_FILE_ATTRIBUTE_DATA& data, std::vector<CPluginFile>& files)
{
    CPluginFile file;
    file.path = ToUtf8(path);
    file.size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    file.modified = Iso8601(data.ftLastWriteTime);
    files.push_back(std::move(file));
}

void SearchFolder(const std::wstring& folder, std::vector<CPluginFile>& files)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<std::wstring> folders;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) folders.push_back(path);  // no link loops
        } else if (EndsWithDll(name)) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) AddFile(path, data, files);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const auto& sub : folders) SearchFolder(sub, files);
}

}  // namespace

std::string NowIso8601()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Iso8601(now);
}

bool FindPluginFiles(const std::vector<std::string>& inputs, std::vector<CPluginFile>& files, std::string& problem)
{
    for (const auto& input : inputs) {
        wchar_t full[32768];
        const DWORD length = GetFullPathNameW(FromUtf8(input).c_str(), 32768, full, nullptr);
        std::wstring path(full, length);
        while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (length == 0 || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            problem = input;
            return false;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::vector<CPluginFile> found;
            SearchFolder(path, found);
            std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
            files.insert(files.end(), found.begin(), found.end());
        } else {
            AddFile(path, data, files);
        }
    }
    // A file named twice, or found in two folders given, is scanned once.
    std::set<std::string> seen;
    files.erase(std::remove_if(files.begin(), files.end(), [&](const auto& f) { return !seen.insert(f.path).second; }),
                files.end());
    return true;
}
