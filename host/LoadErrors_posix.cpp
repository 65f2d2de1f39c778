#include "host/LoadErrors.h"

#include <cstdio>

// The loader's message names what is missing or wrong: it needs no more words.
void ExplainLoadFailure(const std::string&, CScanOutcome&) {}

std::string ExplainLoadError(unsigned long, const NativeText&, const std::string&) { return ""; }

bool ReadFileBytes(const NativeText& path, std::string& bytes, size_t limit)
{
    bytes.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char chunk[65536];
    bool ok = true;
    while (size_t count = std::fread(chunk, 1, sizeof(chunk), file)) {
        if (bytes.size() + count > limit) {
            ok = false;
            break;
        }
        bytes.append(chunk, count);
    }
    ok = ok && !std::ferror(file);
    std::fclose(file);
    if (!ok) bytes.clear();
    return ok;
}

bool ReadFileHead(const NativeText& path, std::string& bytes, size_t count)
{
    bytes.assign(count, '\0');
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    bytes.resize(std::fread(bytes.data(), 1, count, file));
    std::fclose(file);
    return true;
}
