// The PE reader and the import-table walk: any file can sit in a plug-in folder. What they
// read, and what they give back, is bounded whatever the headers claim.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/PeImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view image(reinterpret_cast<const char*>(data), size);
    size_t reads = 0, bytesRead = 0;
    const CReadAt inMemory = ReadFromBytes(image);
    const CReadAt counted = [&](uint64_t offset, size_t count) {
        ++reads;
        std::string bytes = inMemory(offset, count);
        bytesRead += bytes.size();
        return bytes;
    };
    if (const auto machine = PeMachine(counted)) MachineName(*machine);
    const auto names = ImportedDllNames(counted);
    if (names.size() > kMostImports) __builtin_trap();
    for (const auto& name : names)
        if (name.empty() || name.size() > kLongestImportName || name.find('\0') != std::string::npos) __builtin_trap();
    // A header, a section table, then a descriptor and a name per import at most.
    if (reads > 8 + 2 * kMostImports) __builtin_trap();
    if (bytesRead > 16 * size + 64) __builtin_trap();
    return 0;
}
