#include "host/LoadErrors.h"

#include <cerrno>

#include <unistd.h>

#include "host/RegularFile.h"

// The loader's message names what is missing or wrong: it needs no more words.
void ExplainLoadFailure(const std::string&, CScanOutcome&) {}

std::string ExplainLoadError(unsigned long, const NativeText&, const std::string&) { return ""; }

namespace {

// Up to `limit` bytes; false on a read error or more than `limit` when `whole`.
bool ReadUpTo(const NativeText& path, std::string& bytes, size_t limit, bool whole)
{
    bytes.clear();
    const int file = OpenRegularFile(path);
    if (file < 0) return false;
    char chunk[65536];
    bool ok = true;
    for (;;) {
        const ssize_t count = read(file, chunk, sizeof(chunk));
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            ok = count == 0;
            break;
        }
        if (bytes.size() + static_cast<size_t>(count) > limit) {
            ok = !whole;
            bytes.append(chunk, limit - bytes.size());
            break;
        }
        bytes.append(chunk, static_cast<size_t>(count));
    }
    close(file);
    if (!ok) bytes.clear();
    return ok;
}

}  // namespace

bool ReadFileBytes(const NativeText& path, std::string& bytes, size_t limit) { return ReadUpTo(path, bytes, limit, true); }

bool ReadFileHead(const NativeText& path, std::string& bytes, size_t count) { return ReadUpTo(path, bytes, count, false); }
