#pragma once
// How a host starts a scan server on this platform: its command, and which failures to start
// no second try can mend.
#include <cstdint>

#include "host/ChildProcess.h"

// The server with its two pipe ends, the host's window and its private dump folder (left out
// when empty).
CommandText ServerCommand(const NativeText& server, const NativeText& requestEnd, const NativeText& outputEnd,
                          const NativeText& window, const NativeText& dumpFolder);
// A missing or foreign executable: trying again cannot help.
bool StartCannotSucceed(uint32_t startError);
