#include "host/MinidumpReader.h"

#include <cstdio>
#include <cstring>

#include "protocol/Utf8.h"

namespace {

constexpr uint32_t kSignature = 0x504D444D;  // "MDMP"
constexpr uint32_t kModuleListStream = 4;
constexpr uint32_t kExceptionStream = 6;
constexpr uint32_t kSystemInfoStream = 7;
constexpr uint32_t kLinuxPlatform = 0x8201;
constexpr size_t kModuleEntrySize = 108;  // MINIDUMP_MODULE, packed

// Little-endian fields at an offset, or nothing past the end.
class CReader {
public:
    explicit CReader(std::string_view bytes) : bytes(bytes) {}
    template <typename T>
    bool Read(uint64_t offset, T& value) const
    {
        if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
        return true;
    }
    // A MINIDUMP_STRING: its length in bytes, then UTF-16 units.
    bool ReadName(uint64_t offset, std::string& text) const
    {
        uint32_t length = 0;
        if (!Read(offset, length) || length % 2 || length > kLongestModuleName || bytes.size() - offset - 4 < length)
            return false;
        std::u16string units(length / 2, u'\0');
        std::memcpy(units.data(), bytes.data() + offset + 4, length);
        text = ToUtf8(units);
        return true;
    }

private:
    std::string_view bytes;
};

}  // namespace

const CDumpModule* CDumpSummary::ModuleAt(uint64_t address) const
{
    for (const auto& module : modules)
        if (address >= module.base && address - module.base < module.size) return &module;
    return nullptr;
}

std::optional<CDumpSummary> ReadMinidump(std::string_view bytes)
{
    const CReader reader(bytes);
    uint32_t signature = 0, streams = 0, directory = 0;
    if (bytes.size() > kLargestMinidump || !reader.Read(0, signature) || signature != kSignature ||
        !reader.Read(8, streams) || !reader.Read(12, directory))
        return std::nullopt;
    CDumpSummary summary;
    reader.Read(20, summary.timeStamp);
    bool haveException = false, haveModules = false, haveSystem = false;
    uint32_t parameters = 0;
    uint64_t windowsCode = 0;
    // Names may all point at the same bytes; what they may take in all is what the file holds.
    size_t nameBudget = bytes.size();
    // Each directory entry takes 12 bytes of the file: the count is bounded by its size.
    for (uint32_t i = 0; i < streams && !(haveModules && haveException && haveSystem); ++i) {
        const uint64_t entry = directory + 12ull * i;
        uint32_t type = 0, size = 0, at = 0;
        if (!reader.Read(entry, type) || !reader.Read(entry + 4, size) || !reader.Read(entry + 8, at)) return std::nullopt;
        if (type == kExceptionStream && !haveException) {
            // ThreadId, alignment, then MINIDUMP_EXCEPTION: code, flags, record, address.
            haveException = reader.Read(at, summary.threadId) && reader.Read(at + 8, summary.exceptionCode) &&
                            reader.Read(at + 24, summary.exceptionAddress);
            if (reader.Read(at + 32, parameters) && parameters >= 3) reader.Read(at + 56, windowsCode);
        } else if (type == kSystemInfoStream && !haveSystem) {
            uint32_t platform = 0;
            haveSystem = reader.Read(at + 20, platform);
            summary.fromLinux = haveSystem && platform == kLinuxPlatform;
        } else if (type == kModuleListStream && !haveModules) {
            haveModules = true;
            uint32_t count = 0;
            if (!reader.Read(at, count)) continue;
            for (uint32_t m = 0; m < count && m < kMostDumpModules; ++m) {
                const uint64_t module = at + 4 + kModuleEntrySize * m;
                CDumpModule found;
                uint32_t nameAt = 0;
                if (!reader.Read(module, found.base) || !reader.Read(module + 8, found.size) ||
                    !reader.Read(module + 20, nameAt) || !reader.ReadName(nameAt, found.path) ||
                    found.path.size() > nameBudget)
                    break;
                nameBudget -= found.path.size();
                summary.modules.push_back(std::move(found));
            }
        }
    }
    if (!haveException) return std::nullopt;
    // A Linux dump's code is the signal; the same fault's Windows code is its third parameter.
    if (summary.fromLinux) {
        summary.signal = summary.exceptionCode;
        summary.exceptionCode = static_cast<uint32_t>(windowsCode);
    }
    return summary;
}

std::string ExceptionCodeText(uint32_t code)
{
    struct CName {
        uint32_t code;
        const char* name;
    };
    static constexpr CName kNames[] = {
        {0xC0000005, "access violation"},       {0xC00000FD, "stack overflow"},
        {0xC0000409, "fail-fast"},              {0xC000001D, "illegal instruction"},
        {0xC0000094, "integer division by zero"}, {0x80000003, "breakpoint"},
        {0xC0000374, "heap corruption"},        {0xE06D7363, "C++ exception"},
        {0xC0000025, "noncontinuable exception"}, {0xC0000095, "integer overflow"},
        {0xC000008C, "array bounds exceeded"},  {0xC000008D, "floating-point denormal operand"},
        {0xC000008E, "floating-point division by zero"}, {0xC000008F, "floating-point inexact result"},
        {0xC0000090, "floating-point invalid operation"}, {0xC0000091, "floating-point overflow"},
        {0xC0000092, "floating-point stack check"}, {0xC0000093, "floating-point underflow"},
        {0xC00002B4, "multiple floating-point faults"}, {0xC00002B5, "multiple floating-point traps"},
        {0xC0000006, "in-page error"},          {0xC0000096, "privileged instruction"},
        {0xC0000008, "invalid handle"},         {0xC0000017, "out of memory"},
        {0xC0000135, "a DLL was not found"},    {0xC0000142, "a DLL failed to initialize"},
    };
    char text[64];
    snprintf(text, sizeof(text), "%08X", static_cast<unsigned>(code));
    for (const auto& known : kNames)
        if (known.code == code) return std::string(text) + " (" + known.name + ")";
    return text;
}
