#include "server/ProcessMaps.h"

namespace {

struct CLine {
    uint64_t begin = 0, end = 0;
    bool executable = false;
    const char* path = nullptr;
    size_t pathLength = 0;
};

bool HexNumber(const char*& at, const char* end, uint64_t& value)
{
    value = 0;
    const char* start = at;
    for (; at < end; ++at) {
        const char c = *at;
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) break;
        if (value >> 60) return false;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return at > start;
}

void SkipField(const char*& at, const char* end)
{
    while (at < end && *at != ' ') ++at;
    while (at < end && *at == ' ') ++at;
}

// "begin-end perms offset dev inode   path"
bool ParseLine(const char* at, const char* end, CLine& line)
{
    if (!HexNumber(at, end, line.begin) || at >= end || *at++ != '-' || !HexNumber(at, end, line.end)) return false;
    while (at < end && *at == ' ') ++at;
    line.executable = end - at >= 3 && at[2] == 'x';
    for (int field = 0; field < 4; ++field) SkipField(at, end);  // perms, offset, dev, inode
    line.path = at;
    line.pathLength = static_cast<size_t>(end - at);
    return true;
}

bool SamePath(const CMappedFile& file, const CLine& line)
{
    if (file.pathLength != line.pathLength) return false;
    for (size_t i = 0; i < line.pathLength; ++i)
        if (file.path[i] != line.path[i]) return false;
    return true;
}

template <typename Visit>
void ForEachLine(const char* text, size_t length, Visit visit)
{
    const char* end = text + length;
    for (const char* at = text; at < end;) {
        const char* lineEnd = at;
        while (lineEnd < end && *lineEnd != '\n') ++lineEnd;
        CLine line;
        if (ParseLine(at, lineEnd, line) && !visit(line)) return;
        at = lineEnd + 1;
    }
}

}  // namespace

size_t ParseMappedFiles(const char* text, size_t length, CMappedFile* files, size_t capacity)
{
    size_t count = 0;
    ForEachLine(text, length, [&](const CLine& line) {
        if (line.pathLength == 0 || line.path[0] != '/') return true;
        if (count > 0 && SamePath(files[count - 1], line) && line.begin >= files[count - 1].begin) {
            files[count - 1].end = line.end;
            files[count - 1].executable |= line.executable;
            return true;
        }
        if (count == capacity) return false;
        files[count++] = {line.begin, line.end, line.path, line.pathLength, line.executable};
        return true;
    });
    return count;
}

uint64_t MappingEndAt(const char* text, size_t length, uint64_t address)
{
    uint64_t found = 0;
    ForEachLine(text, length, [&](const CLine& line) {
        if (address >= line.begin && address < line.end) {
            found = line.end;
            return false;
        }
        return true;
    });
    return found;
}
