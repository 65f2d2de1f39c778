#include <cerrno>
#include <unistd.h>

#include "server/RequestLoop.h"

intptr_t InputChannel = 0;

bool ReadRequestBytes(char* buffer, size_t capacity, size_t& count)
{
    for (;;) {
        const ssize_t got = read(static_cast<int>(InputChannel), buffer, capacity);
        if (got < 0 && errno == EINTR) continue;
        count = got > 0 ? static_cast<size_t>(got) : 0;
        return got >= 0;
    }
}
