#pragma once
#include <cstddef>
#include <cstdint>

// The read end of the request pipe (a HANDLE on Windows, a file descriptor elsewhere).
extern intptr_t InputChannel;

// Serves requests from InputChannel until the host closes its end of the pipe.
void RunRequestLoop();
// Reads what the pipe holds, up to `capacity` bytes; false when it closed or failed.
bool ReadRequestBytes(char* buffer, size_t capacity, size_t& count);
