#include "bench/CheckFloor.h"

#include <fcntl.h>
#include <unistd.h>

#include "probe/ProcessGuard.h"
#include "protocol/OutputChannel.h"

CCheckFloor::CCheckFloor()
{
    int ends[2] = {-1, -1};
    // Not inherited by the servers the benchmark starts, which would keep the pipe open.
    (void)!pipe2(ends, O_CLOEXEC);
    read = ends[0];
    write = ends[1];
    OutputChannel = write;
    KeepProcessState();  // as the server does at start-up: the check takes the process back to it
    reader = std::thread([this] {
        char chunk[65536];
        while (::read(static_cast<int>(read), chunk, sizeof(chunk)) > 0) {}
    });
}

CCheckFloor::~CCheckFloor()
{
    OutputChannel = 0;
    close(static_cast<int>(write));
    reader.join();
    close(static_cast<int>(read));
}
