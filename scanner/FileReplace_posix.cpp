#include "scanner/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

bool ReplaceFileWhole(const NativeText& path, const std::string& content, unsigned long& error)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    std::string pattern = folder + "/.tdb-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int file = mkostemp(name.data(), O_CLOEXEC);
    if (file < 0) {
        error = static_cast<unsigned long>(errno);
        return false;
    }
    bool complete = true;
    for (size_t written = 0; complete && written < content.size();) {
        const ssize_t done = write(file, content.data() + written, content.size() - written);
        if (done < 0 && errno == EINTR) continue;
        complete = done > 0;
        if (complete) written += static_cast<size_t>(done);
    }
    // A temporary file is made for its owner alone; the file it becomes keeps the mode the one
    // it replaces had (a database kept private stays so), a new one is for others to read too.
    struct stat replaced {};
    const mode_t mode = stat(path.c_str(), &replaced) == 0 ? (replaced.st_mode & 07777) : 0644;
    complete = complete && fchmod(file, mode) == 0 && fsync(file) == 0;
    if (!complete) error = static_cast<unsigned long>(errno ? errno : ENOSPC);
    complete = close(file) == 0 && complete;
    if (complete && rename(name.data(), path.c_str()) == 0) {
        // The rename itself reaches the disk with its folder.
        const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory >= 0) {
            fsync(directory);
            close(directory);
        }
        return true;
    }
    if (complete) error = static_cast<unsigned long>(errno);
    unlink(name.data());
    return false;
}
