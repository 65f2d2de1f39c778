#include "scanner/SystemFiles.h"

#include <windows.h>

namespace {

HANDLE Handle(const CSystemFile& file) { return reinterpret_cast<HANDLE>(file.handle); }

}  // namespace

void CSystemFile::Close()
{
    if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle));
    handle = kClosed;
}

LockOutcome LockExclusively(const NativeText& path, CSystemFile& lock, unsigned long& error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return error == ERROR_SHARING_VIOLATION ? LockOutcome::kInUse : LockOutcome::kFailed;
    }
    lock.handle = reinterpret_cast<intptr_t>(file);
    return LockOutcome::kLocked;
}

ReadOutcome ReadWholeFile(const NativeText& path, std::string& content, unsigned long& error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadOutcome::kMissing : ReadOutcome::kUnopened;
    }
    char chunk[65536];
    DWORD count = 0;
    ReadOutcome outcome = ReadOutcome::kRead;
    for (;;) {
        if (!ReadFile(file, chunk, sizeof(chunk), &count, nullptr)) {
            error = GetLastError();
            outcome = ReadOutcome::kFailed;
            break;
        }
        if (count == 0) break;
        content.append(chunk, count);
    }
    CloseHandle(file);
    return outcome;
}

bool OpenForAppending(const NativeText& path, CSystemFile& file, unsigned long& error)
{
    HANDLE opened = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    file.handle = reinterpret_cast<intptr_t>(opened);
    return true;
}

bool AppendToFile(CSystemFile& file, const std::string& bytes, unsigned long& error)
{
    DWORD written = 0;
    if (WriteFile(Handle(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size())
        return true;
    error = GetLastError();
    return false;
}

bool FileExists(const NativeText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveFile(const NativeText& path) { DeleteFileW(path.c_str()); }
