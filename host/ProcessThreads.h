#pragma once
// The threads of one process, by id. Taken after every answer of a scan server, so it must be
// cheap: the process's own threads are walked one by one (NtGetNextThread), which under Wine
// costs a tenth of a system-wide snapshot of every thread; the snapshot is the fallback.
#include <windows.h>

#include <set>

std::set<DWORD> ThreadsOfProcess(HANDLE process);
