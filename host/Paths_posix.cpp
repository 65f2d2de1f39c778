#include "host/Paths.h"

#include <unistd.h>

#include <vector>

NativeText ProgramFolder()
{
    std::vector<char> path(4096);
    ssize_t length = 0;
    while ((length = readlink("/proc/self/exe", path.data(), path.size())) >= static_cast<ssize_t>(path.size()) &&
           path.size() < (1u << 16))
        path.resize(path.size() * 2);
    const std::string full(path.data(), length > 0 ? static_cast<size_t>(length) : 0);
    return full.substr(0, full.find_last_of('/'));
}
