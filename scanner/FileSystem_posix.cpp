// The file system as the plug-in walk sees it on Linux: stat follows links, lstat and the
// listing tell what a name is itself.
#include "scanner/FileSystem.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

std::string Iso8601(const timespec& time)
{
    tm utc{};
    gmtime_r(&time.tv_sec, &utc);
    char text[40];
    snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%07ldZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
             utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<long>(time.tv_nsec / 100));
    return text;
}

CFileFacts FactsOf(const struct stat& status)
{
    CFileFacts facts;
    facts.exists = true;
    facts.folder = S_ISDIR(status.st_mode);
    facts.size = static_cast<uint64_t>(status.st_size);
    facts.modified = Iso8601(status.st_mtim);
    facts.identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    return facts;
}

}  // namespace

const char* const kVst2Suffix = ".so";

bool IsMissingError(unsigned long error) { return error == ENOENT || error == ENOTDIR; }

CFileFacts Examine(const NativeText& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        CFileFacts missing;
        missing.error = static_cast<unsigned long>(errno);
        return missing;
    }
    return FactsOf(status);
}

bool ListFolder(const NativeText& folder, const CFileFacts&, std::vector<CFolderEntry>& entries, unsigned long& error)
{
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        error = static_cast<unsigned long>(errno);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(listing)) {
        CFolderEntry listed;
        listed.name = entry->d_name;
        if (listed.name == "." || listed.name == "..") continue;
        struct stat status {};
        // What the name is itself; a link is examined by the walk, to see where it leads. A
        // name the system cannot reach (a path past its length) is still listed, as the kind
        // the listing says, with the reason: the walk names it rather than pass it by.
        if (lstat((folder + "/" + listed.name).c_str(), &status) != 0) {
            listed.facts.error = static_cast<unsigned long>(errno);
            listed.folder = entry->d_type == DT_DIR;
            listed.link = entry->d_type == DT_LNK;
            entries.push_back(std::move(listed));
            continue;
        }
        listed.link = S_ISLNK(status.st_mode);
        listed.folder = S_ISDIR(status.st_mode);
        if (!listed.link) listed.facts = FactsOf(status);
        entries.push_back(std::move(listed));
    }
    closedir(listing);
    return true;
}

bool NameEndsWith(const NativeText& name, const char* suffix)
{
    const std::string tail = suffix;
    return name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

std::string NowIso8601()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return Iso8601(now);
}
