#pragma once
// Windows' moments as the steady clock the host's deadlines run on.
#include <windows.h>

#include <chrono>

// A moment the system gave as a UTC file time, on the steady clock; now when it is unset or ahead.
std::chrono::steady_clock::time_point SteadyTimeOf(const FILETIME& utc);
