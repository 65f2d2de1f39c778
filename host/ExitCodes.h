#pragma once
// How a scan server's process ended, as the host reads it.
#include <cstdint>

// What a process gives while it still runs (Windows' STILL_ACTIVE); as an end, it stopped
// answering and was ended.
constexpr uint32_t kStillRunning = 259;
// Exit code of a server that caught a crash and wrote its dump.
constexpr uint32_t kServerCrashExitCode = 9;
// Off Windows, a process ended by a signal it did not handle: this plus the signal's number.
// Exit statuses stop at 255, so no exit code is mistaken for one.
constexpr uint32_t kKilledBySignal = 0x10000;
constexpr bool IsKilledBySignal(uint32_t code) { return code > kKilledBySignal && code < kKilledBySignal + 128; }
