#pragma once
// What a crash dump tells about its crash: the exception's code and address, and the modules
// loaded then, so that the library the fault happened in can be named. Reads the minidump
// format itself; platform-free.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CDumpModule {
    uint64_t base = 0;
    uint32_t size = 0;
    std::string path;  // UTF-8
};

struct CDumpSummary {
    uint32_t timeStamp = 0;  // when it was written, seconds since 1970 (UTC)
    uint32_t threadId = 0;  // the thread the exception happened on
    uint32_t exceptionCode = 0;     // as on Windows, for a Linux dump too
    bool fromLinux = false;         // written on Linux: `signal` is the fault's
    uint32_t signal = 0;
    uint64_t exceptionAddress = 0;
    std::vector<CDumpModule> modules;

    // The module whose image holds `address`, or none.
    const CDumpModule* ModuleAt(uint64_t address) const;
};

// Dumps are read whole; a larger file is no dump of a scan server. Everything a dump counts
// is bounded too, so that reading takes memory in proportion to the file at most.
constexpr size_t kLargestMinidump = 64u << 20;
constexpr uint32_t kMostDumpModules = 4096;
constexpr uint32_t kLongestModuleName = 2048;  // bytes of UTF-16

// Nothing when the bytes are not a minidump with an exception stream. Only the first module
// list counts; modules beyond the bound, and names that are too long, are left out.
std::optional<CDumpSummary> ReadMinidump(std::string_view bytes);

// "C0000005 (access violation)": the code in hex, with its name when it has a well-known one.
std::string ExceptionCodeText(uint32_t code);
