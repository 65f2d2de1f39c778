#pragma once
// The threads of one process, by id. Taken after every answer of a scan server, so it must be
// cheap. On Windows the process's own threads are walked one by one (NtGetNextThread), which
// under Wine costs a tenth of a system-wide snapshot of every thread; the snapshot is the
// fallback. On Linux /proc/PID/task lists them.
#include <cstdint>
#include <set>

// `process` is the process's HANDLE on Windows; elsewhere its id is enough.
std::set<uint32_t> ThreadsOfProcess(void* process, uint32_t processId);
