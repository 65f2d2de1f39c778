#pragma once
// The database's files as the system opens them: its lock, whole reads, the journal appended
// to, and replacing a file whole. A file is a HANDLE on Windows, a descriptor elsewhere.
#include <cstdint>
#include <string>

#include "host/NativeText.h"

class CSystemFile {
public:
    CSystemFile() = default;
    ~CSystemFile() { Close(); }
    CSystemFile(const CSystemFile&) = delete;
    CSystemFile& operator=(const CSystemFile&) = delete;
    bool IsOpen() const { return handle != kClosed; }
    void Close();

    static constexpr intptr_t kClosed = -1;
    intptr_t handle = kClosed;
    NativeText removeOnClose;  // a lock file the system does not remove itself
};

enum class LockOutcome { kLocked, kInUse, kFailed };
// Holds `path` exclusively while `lock` is open, which the system ends with the process however
// it ends; the file is removed when the lock is let go. kInUse when another process holds it.
LockOutcome LockExclusively(const NativeText& path, CSystemFile& lock, unsigned long& error);

enum class ReadOutcome { kRead, kMissing, kUnopened, kFailed };
// The whole file; kMissing only when it (or its folder) is not there, kUnopened when it is
// there and could not be opened, kFailed when reading it failed.
ReadOutcome ReadWholeFile(const NativeText& path, std::string& content, unsigned long& error);

// Opens a file to append to, made when missing; each AppendToFile goes to the system at once.
bool OpenForAppending(const NativeText& path, CSystemFile& file, unsigned long& error);
bool AppendToFile(CSystemFile& file, const std::string& bytes, unsigned long& error);

bool FileExists(const NativeText& path);
void RemoveFile(const NativeText& path);
