#include "bench/CheckFloor.h"

#include <unistd.h>

#include "protocol/OutputChannel.h"

CCheckFloor::CCheckFloor()
{
    int ends[2] = {-1, -1};
    (void)!pipe(ends);
    read = ends[0];
    write = ends[1];
    OutputChannel = write;
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
