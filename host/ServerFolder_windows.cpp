#include "host/ServerFolder.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "host/ChildProcess.h"
#include "host/FileTime.h"

bool PathExists(const NativeText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolderPath(const NativeText& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFolder(const NativeText& folder) { CreateDirectoryW(folder.c_str(), nullptr); }

void RemoveEmptyFolder(const NativeText& folder) { RemoveDirectoryW(folder.c_str()); }

std::vector<CFolderFile> FolderFiles(const NativeText& folder, const NativeText& suffix)
{
    std::vector<CFolderFile> files;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*" + suffix).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        files.push_back({folder + L"\\" + found.cFileName, found.cFileName,
                         (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow, SteadyTimeOf(found.ftCreationTime)});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

void DeleteFileAt(const NativeText& path) { DeleteFileW(path.c_str()); }

bool MoveFileTo(const NativeText& source, const NativeText& target)
{
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING);
}

NativeText ClaimFileName(const NativeText& folder, const NativeText& stem, const NativeText& extension)
{
    for (int n = 1; n < 10000; ++n) {
        const std::wstring name = folder + L"\\" + stem + (n == 1 ? L"" : L"-" + std::to_wstring(n)) + extension;
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return name;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return L"";
    }
    return L"";
}

NativeText PrivateFolderName(const NativeText& parent, unsigned serial)
{
    // Unique across runs too: Wine gives out small process ids again and again.
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return parent + L"\\.server-" + HexArgumentText(GetCurrentProcessId()) + L"-" +
           HexArgumentText(static_cast<uint64_t>(now.QuadPart)) + L"-" + HexArgumentText(serial);
}

NativeText JoinPath(const NativeText& folder, const NativeText& name) { return folder + L"\\" + name; }

bool SameFile(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }
