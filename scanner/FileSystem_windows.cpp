// The file system as the plug-in walk sees it on Windows: files opened to follow links to
// what they lead to, and folders listed with each entry's file id, size and time in one call.
#include "scanner/FileSystem.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

// One call lists many entries.
constexpr size_t kListingBytes = 64 * 1024;

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

}  // namespace

const char* const kVst2Suffix = ".dll";

bool IsMissingError(unsigned long error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

CFileFacts Examine(const NativeText& path)
{
    CFileFacts found;
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        found.error = GetLastError();
        return found;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    found.exists = GetFileInformationByHandle(handle, &information) != FALSE;
    if (!found.exists) found.error = GetLastError();
    CloseHandle(handle);
    found.folder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    found.size = static_cast<uint64_t>(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
    found.modified = Iso8601(information.ftLastWriteTime);
    found.identity = {information.dwVolumeSerialNumber,
                      static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow};
    return found;
}

bool ListFolder(const NativeText& folder, const CFileFacts& found, std::vector<CFolderEntry>& entries, unsigned long& error)
{
    HANDLE directory = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    std::vector<char> listing(kListingBytes);
    auto kind = FileIdBothDirectoryRestartInfo;
    for (; GetFileInformationByHandleEx(directory, kind, listing.data(), static_cast<DWORD>(listing.size()));
         kind = FileIdBothDirectoryInfo) {
        for (auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(listing.data());;
             entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<char*>(entry) + entry->NextEntryOffset)) {
            CFolderEntry listed;
            listed.name.assign(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            listed.folder = (entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            listed.link = (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            listed.facts.exists = true;
            listed.facts.folder = listed.folder;
            listed.facts.size = static_cast<uint64_t>(entry->EndOfFile.QuadPart);
            listed.facts.modified = Iso8601({static_cast<DWORD>(entry->LastWriteTime.QuadPart),
                                             static_cast<DWORD>(entry->LastWriteTime.QuadPart >> 32)});
            listed.facts.identity = {found.identity.first, static_cast<uint64_t>(entry->FileId.QuadPart)};
            if (listed.name != L"." && listed.name != L"..") entries.push_back(std::move(listed));
            if (entry->NextEntryOffset == 0) break;
        }
    }
    // The end of a listing is "no more files"; anything else, before the first entry, is a
    // folder that cannot be read.
    const DWORD stopped = GetLastError();
    CloseHandle(directory);
    if (kind == FileIdBothDirectoryRestartInfo && stopped != ERROR_NO_MORE_FILES) {
        error = stopped;
        return false;
    }
    return true;
}

bool NameEndsWith(const NativeText& name, const char* suffix)
{
    const NativeText wide = FromUtf8(suffix);
    return name.size() > wide.size() && _wcsicmp(name.c_str() + name.size() - wide.size(), wide.c_str()) == 0;
}

std::string NowIso8601()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Iso8601(now);
}
