#pragma once
// The name of a crash dump: folder, separator, base name, local date and time, ".mdmp".
// Formatted at crash time into a buffer made beforehand, so the crash filter allocates nothing.
#include <cstddef>

struct CDumpTime {
    int year, month, day, hour, minute, second;
};

// Units the fixed part takes besides the folder and base name: the separator, the
// "-YYYY-MM-DD-HH-MM-SS" suffix and ".mdmp", plus the terminator.
constexpr size_t kDumpNameFixedUnits = 1 + 20 + 5 + 1;

// Writes the path into `out` (with terminator) and returns its length, or 0 when `capacity`
// is too small; the caller sizes the buffer from the folder's length.
size_t FormatDumpPath(char16_t* out, size_t capacity, const char16_t* folder, const char16_t* baseName,
                      const CDumpTime& time, char16_t separator = u'\\');
