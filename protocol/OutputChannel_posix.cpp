#include "protocol/OutputChannel.h"

#include <cerrno>
#include <unistd.h>

#include "protocol/LogLine.h"

intptr_t OutputChannel = 0;

namespace {

// A pipe takes a long line in pieces; the whole line goes out before the next step of a scan.
void WriteAll(int file, const char* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t written = write(file, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
}

}  // namespace

void WriteOutput(const char* bytes, size_t count)
{
    WriteAll(OutputChannel ? static_cast<int>(OutputChannel) : STDOUT_FILENO, bytes, count);
}

void WriteStandardError(const char* bytes, size_t count) { WriteAll(STDERR_FILENO, bytes, count); }
