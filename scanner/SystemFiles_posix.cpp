#include "scanner/SystemFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "host/RegularFile.h"

void CSystemFile::Close()
{
    if (!IsOpen()) return;
    // The lock file goes first, while it is still held: no other run can take it in between
    // and lose it to this removal.
    if (!removeOnClose.empty()) unlink(removeOnClose.c_str());
    close(static_cast<int>(handle));
    handle = kClosed;
    removeOnClose.clear();
}

LockOutcome LockExclusively(const NativeText& path, CSystemFile& lock, unsigned long& error)
{
    for (;;) {
        const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (file < 0) {
            error = static_cast<unsigned long>(errno);
            return LockOutcome::kFailed;
        }
        if (flock(file, LOCK_EX | LOCK_NB) != 0) {
            error = static_cast<unsigned long>(errno);
            close(file);
            return error == EWOULDBLOCK ? LockOutcome::kInUse : LockOutcome::kFailed;
        }
        // A run that let go of the lock removed the file after we opened it: the lock we hold is
        // on a file nobody else will find. Taken again on the one at the path.
        struct stat held {}, named {};
        if (fstat(file, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            lock.handle = file;
            lock.removeOnClose = path;
            return LockOutcome::kLocked;
        }
        close(file);
    }
}

ReadOutcome ReadWholeFile(const NativeText& path, std::string& content, unsigned long& error)
{
    const int file = OpenRegularFile(path);
    if (file < 0) {
        error = static_cast<unsigned long>(errno);
        return errno == ENOENT || errno == ENOTDIR ? ReadOutcome::kMissing : ReadOutcome::kUnopened;
    }
    char chunk[65536];
    ReadOutcome outcome = ReadOutcome::kRead;
    for (;;) {
        const ssize_t count = read(file, chunk, sizeof(chunk));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            error = static_cast<unsigned long>(errno);
            outcome = ReadOutcome::kFailed;
            break;
        }
        if (count == 0) break;
        content.append(chunk, static_cast<size_t>(count));
    }
    close(file);
    return outcome;
}

bool OpenForAppending(const NativeText& path, CSystemFile& file, unsigned long& error)
{
    const int opened = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (opened < 0) {
        error = static_cast<unsigned long>(errno);
        return false;
    }
    file.handle = opened;
    return true;
}

bool AppendToFile(CSystemFile& file, const std::string& bytes, unsigned long& error)
{
    // One write of the whole line: with O_APPEND it lands in one piece at the end.
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t done = write(static_cast<int>(file.handle), bytes.data() + written, bytes.size() - written);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            error = done < 0 ? static_cast<unsigned long>(errno) : static_cast<unsigned long>(ENOSPC);
            return false;
        }
        written += static_cast<size_t>(done);
    }
    return true;
}

bool FileExists(const NativeText& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

void RemoveFile(const NativeText& path) { unlink(path.c_str()); }
