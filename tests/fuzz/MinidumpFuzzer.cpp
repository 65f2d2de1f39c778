// The minidump reader: a plug-in can write its own dump file, so any bytes. Whatever it reads
// takes memory in proportion to the file at most.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/MinidumpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto summary = ReadMinidump(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!summary) return 0;
    if (summary->modules.size() > kMostDumpModules) __builtin_trap();
    size_t names = 0;
    for (const auto& module : summary->modules) names += module.path.size();
    if (names > size) __builtin_trap();
    summary->ModuleAt(summary->exceptionAddress);
    ExceptionCodeText(summary->exceptionCode);
    return 0;
}
