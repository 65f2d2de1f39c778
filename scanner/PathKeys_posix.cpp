#include "scanner/PathKeys.h"

#include <unistd.h>

#include <vector>

NativeText NormalPath(const NativeText& given)
{
    if (given.empty()) return "";
    std::string full = given;
    if (full[0] != '/') {
        std::vector<char> folder(4096);
        while (getcwd(folder.data(), folder.size()) == nullptr) {
            if (folder.size() >= (1u << 20)) return "";
            folder.resize(folder.size() * 2);
        }
        full = std::string(folder.data()) + "/" + full;
    }
    // "." and ".." resolved by name, as a shell does; every part joined by one separator.
    std::vector<std::string> parts;
    for (size_t start = 1; start <= full.size();) {
        size_t end = full.find('/', start);
        if (end == std::string::npos) end = full.size();
        const std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string normal;
    for (const std::string& part : parts) normal += "/" + part;
    return normal.empty() ? "/" : normal;
}

std::string PathKey(const std::string& path) { return path; }
