#include "host/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

std::string KindOf(mode_t mode)
{
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    return "";
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string* kind)
{
    // Non-blocking, so that a FIFO without a writer does not hold the open.
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) return -1;
    struct stat status {};
    if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (kind) *kind = KindOf(status.st_mode);
        close(file);
        errno = EINVAL;
        return -1;
    }
    fcntl(file, F_SETFL, fcntl(file, F_GETFL) & ~O_NONBLOCK);
    return file;
}

std::string SpecialFileKind(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return "";
    return KindOf(status.st_mode);
}
