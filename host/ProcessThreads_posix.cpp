#include "host/ProcessThreads.h"

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <string>

std::set<uint32_t> ThreadsOfProcess(void*, uint32_t processId)
{
    std::set<uint32_t> ids;
    const std::string folder = "/proc/" + std::to_string(processId) + "/task";
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return ids;
    while (const dirent* entry = readdir(listing)) {
        char* end = nullptr;
        const unsigned long id = std::strtoul(entry->d_name, &end, 10);
        if (id != 0 && *end == '\0') ids.insert(static_cast<uint32_t>(id));
    }
    closedir(listing);
    return ids;
}
