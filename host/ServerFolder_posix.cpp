#include "host/ServerFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "host/ChildProcess.h"

namespace {

// A moment of the real-time clock on the steady one.
std::chrono::steady_clock::time_point SteadyTimeOf(const timespec& when)
{
    const auto since = std::chrono::system_clock::now() -
                       std::chrono::system_clock::time_point(std::chrono::seconds(when.tv_sec) + std::chrono::nanoseconds(when.tv_nsec));
    const auto now = std::chrono::steady_clock::now();
    return since.count() < 0 ? now : now - std::chrono::duration_cast<std::chrono::steady_clock::duration>(since);
}

}  // namespace

bool PathExists(const NativeText& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

bool IsFolderPath(const NativeText& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void MakeFolder(const NativeText& folder) { mkdir(folder.c_str(), 0755); }

void RemoveEmptyFolder(const NativeText& folder) { rmdir(folder.c_str()); }

std::vector<CFolderFile> FolderFiles(const NativeText& folder, const NativeText& suffix)
{
    std::vector<CFolderFile> files;
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return files;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
        const std::string path = folder + "/" + name;
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
        // The status change time is the last write's: Linux keeps no birth time here.
        files.push_back({path, name, static_cast<uint64_t>(status.st_size), SteadyTimeOf(status.st_ctim)});
    }
    closedir(listing);
    return files;
}

void DeleteFileAt(const NativeText& path) { unlink(path.c_str()); }

bool MoveFileTo(const NativeText& source, const NativeText& target)
{
    if (rename(source.c_str(), target.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    // Another file system: copied, then the source removed.
    FILE* from = std::fopen(source.c_str(), "rb");
    FILE* to = from ? std::fopen(target.c_str(), "wb") : nullptr;
    bool copied = from && to;
    char chunk[65536];
    while (copied) {
        const size_t count = std::fread(chunk, 1, sizeof(chunk), from);
        if (count == 0) break;
        copied = std::fwrite(chunk, 1, count, to) == count;
    }
    if (from) std::fclose(from);
    if (to && std::fclose(to) != 0) copied = false;
    if (copied) unlink(source.c_str());
    return copied;
}

NativeText ClaimFileName(const NativeText& folder, const NativeText& stem, const NativeText& extension)
{
    for (int n = 1; n < 10000; ++n) {
        const std::string name = folder + "/" + stem + (n == 1 ? "" : "-" + std::to_string(n)) + extension;
        const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (file >= 0) {
            close(file);
            return name;
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

NativeText PrivateFolderName(const NativeText& parent, unsigned serial)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return parent + "/.server-" + HexArgumentText(static_cast<uint64_t>(getpid())) + "-" +
           HexArgumentText(static_cast<uint64_t>(now)) + "-" + HexArgumentText(serial);
}

NativeText JoinPath(const NativeText& folder, const NativeText& name) { return folder + "/" + name; }

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    struct stat first {}, second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}
