// The parent's pidfd becomes readable when the parent ends, whoever of its threads started us
// (PR_SET_PDEATHSIG would follow the starting thread, which a host's job may end first).
#include "server/ParentWatch.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

void WatchParent()
{
    // A host in a container may be process 1 itself: its servers' parent is then 1, and that is
    // watched as any other.
    const int watched = static_cast<int>(syscall(SYS_pidfd_open, getppid(), 0));
    if (watched < 0) return;
    std::thread([watched] {
        pollfd ended{watched, POLLIN, 0};
        while (poll(&ended, 1, -1) < 0) {}
        _exit(0);
    }).detach();
}
