#include "scanner/FileReplace.h"

#include <windows.h>

bool ReplaceFileWhole(const NativeText& path, const std::string& content, unsigned long& error)
{
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash);
    wchar_t temporary[MAX_PATH + 1];
    if (folder.size() > MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"tdb", 0, temporary)) {
        error = GetLastError();
        return false;
    }
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool complete = file != INVALID_HANDLE_VALUE &&
                          WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                          written == content.size() && FlushFileBuffers(file);
    error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (complete && MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (complete) error = GetLastError();
    DeleteFileW(temporary);
    return false;
}
