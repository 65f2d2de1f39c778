#include "server/MinidumpBuilder.h"

#include <cstring>

namespace {

constexpr uint32_t kSignature = 0x504D444D;  // "MDMP"
constexpr uint32_t kVersion = 0xA793;
constexpr uint32_t kThreadListStream = 3, kModuleListStream = 4, kMemoryListStream = 5, kExceptionStream = 6,
                   kSystemInfoStream = 7;
constexpr uint32_t kStreamCount = 5;
constexpr size_t kHeaderSize = 32, kDirectoryEntrySize = 12, kThreadSize = 48, kModuleSize = 108,
                 kExceptionStreamSize = 168, kSystemInfoSize = 56, kMemoryDescriptorSize = 16;
constexpr uint16_t kAmd64Architecture = 9;
constexpr uint32_t kContextAmd64 = 0x100000, kContextControl = 1, kContextInteger = 2, kContextSegments = 4;

// Little-endian fields at offsets of a buffer; every write past the capacity marks it full.
class CWriter {
public:
    CWriter(uint8_t* buffer, size_t capacity) : buffer(buffer), capacity(capacity) {}

    // Room for `size` bytes at the end, zeroed, 4-byte aligned; its offset.
    uint32_t Reserve(size_t size)
    {
        used = (used + 3) & ~size_t{3};
        const size_t at = used;
        if (at > capacity || capacity - at < size) {
            full = true;
            return 0;
        }
        std::memset(buffer + at, 0, size);
        used += size;
        return static_cast<uint32_t>(at);
    }
    template <typename T>
    void Put(size_t at, T value)
    {
        if (!full && at + sizeof(T) <= used) std::memcpy(buffer + at, &value, sizeof(T));
    }
    void PutBytes(size_t at, const void* bytes, size_t size)
    {
        if (!full && at + size <= used && size > 0) std::memcpy(buffer + at, bytes, size);
    }
    // A MINIDUMP_STRING: its length in bytes, then UTF-16 units (from UTF-8, without a terminator count).
    uint32_t String(const char* text, size_t length)
    {
        size_t units = 0;
        for (size_t i = 0; i < length;) units += Decode(text, length, i) > 0xFFFF ? 2 : 1;
        const uint32_t at = Reserve(4 + units * 2 + 2);
        Put(at, static_cast<uint32_t>(units * 2));
        size_t unit = 0;
        for (size_t i = 0; i < length;) {
            uint32_t code = Decode(text, length, i);
            if (code > 0xFFFF) {
                code -= 0x10000;
                Put(at + 4 + 2 * unit++, static_cast<uint16_t>(0xD800 + (code >> 10)));
                code = 0xDC00 + (code & 0x3FF);
            }
            Put(at + 4 + 2 * unit++, static_cast<uint16_t>(code));
        }
        return at;
    }
    size_t Size() const { return full ? 0 : used; }

private:
    // One code point of UTF-8 at `i`; a byte that starts no valid sequence is U+FFFD.
    static uint32_t Decode(const char* text, size_t length, size_t& i)
    {
        const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
        const uint8_t lead = byte(i);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= length) {
            ++i;
            return extra == 0 ? lead : 0xFFFD;
        }
        uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) {
                ++i;
                return 0xFFFD;
            }
            code = code << 6 | (byte(i + k) & 0x3F);
        }
        i += static_cast<size_t>(extra) + 1;
        return code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ? 0xFFFD : code;
    }

    uint8_t* buffer;
    size_t capacity;
    size_t used = 0;
    bool full = false;
};

void PutContext(CWriter& out, uint32_t at, const CAmd64Registers& r)
{
    out.Put(at + 48, kContextAmd64 | kContextControl | kContextInteger | kContextSegments);
    out.Put(at + 56, r.cs);
    out.Put(at + 62, r.fs);
    out.Put(at + 64, r.gs);
    out.Put(at + 68, r.eflags);
    const uint64_t integers[] = {r.rax, r.rcx, r.rdx, r.rbx, r.rsp, r.rbp, r.rsi, r.rdi,
                                 r.r8,  r.r9,  r.r10, r.r11, r.r12, r.r13, r.r14, r.r15, r.rip};
    for (size_t i = 0; i < sizeof(integers) / sizeof(integers[0]); ++i) out.Put(at + 120 + 8 * i, integers[i]);
}

}  // namespace

size_t BuildMinidump(const CCrashFacts& facts, uint8_t* buffer, size_t capacity)
{
    CWriter out(buffer, capacity);
    const uint32_t header = out.Reserve(kHeaderSize);
    const uint32_t directory = out.Reserve(kDirectoryEntrySize * kStreamCount);
    out.Put(header, kSignature);
    out.Put(header + 4, kVersion);
    out.Put(header + 8, kStreamCount);
    out.Put(header + 12, directory);
    out.Put(header + 20, facts.timeStamp);
    uint32_t stream = 0;
    const auto entry = [&](uint32_t type, uint32_t size, uint32_t at) {
        const uint32_t slot = directory + kDirectoryEntrySize * stream++;
        out.Put(slot, type);
        out.Put(slot + 4, size);
        out.Put(slot + 8, at);
    };

    const uint32_t context = out.Reserve(kAmd64ContextSize);
    PutContext(out, context, facts.registers);
    const uint32_t stack = out.Reserve(facts.stackSize);
    out.PutBytes(stack, facts.stack, facts.stackSize);

    const uint32_t threads = out.Reserve(4 + kThreadSize);
    out.Put(threads, uint32_t{1});
    out.Put(threads + 4, facts.threadId);
    out.Put(threads + 4 + 24, facts.stackStart);
    out.Put(threads + 4 + 32, static_cast<uint32_t>(facts.stackSize));
    out.Put(threads + 4 + 36, stack);
    out.Put(threads + 4 + 40, static_cast<uint32_t>(kAmd64ContextSize));
    out.Put(threads + 4 + 44, context);
    entry(kThreadListStream, 4 + kThreadSize, threads);

    const uint32_t modules = out.Reserve(4 + kModuleSize * facts.fileCount);
    out.Put(modules, static_cast<uint32_t>(facts.fileCount));
    for (size_t i = 0; i < facts.fileCount; ++i) {
        const CMappedFile& file = facts.files[i];
        const uint32_t module = modules + 4 + static_cast<uint32_t>(kModuleSize * i);
        const uint64_t size = file.end - file.begin;
        out.Put(module, file.begin);
        out.Put(module + 8, static_cast<uint32_t>(size > 0xFFFFFFFFu ? 0xFFFFFFFFu : size));
        out.Put(module + 20, out.String(file.path, file.pathLength));
    }
    entry(kModuleListStream, static_cast<uint32_t>(4 + kModuleSize * facts.fileCount), modules);

    const uint32_t memory = out.Reserve(4 + kMemoryDescriptorSize);
    out.Put(memory, uint32_t{1});
    out.Put(memory + 4, facts.stackStart);
    out.Put(memory + 12, static_cast<uint32_t>(facts.stackSize));
    out.Put(memory + 16, stack);
    entry(kMemoryListStream, 4 + kMemoryDescriptorSize, memory);

    const uint32_t exception = out.Reserve(kExceptionStreamSize);
    out.Put(exception, facts.threadId);
    out.Put(exception + 8, facts.signal);
    out.Put(exception + 12, facts.signalCode);
    out.Put(exception + 24, facts.exceptionAddress);
    // Parameters: read or write (unknown: 0), the address, the Windows code.
    out.Put(exception + 32, uint32_t{3});
    out.Put(exception + 48, facts.accessedAddress);
    out.Put(exception + 56, uint64_t{facts.exceptionCode});
    out.Put(exception + 160, static_cast<uint32_t>(kAmd64ContextSize));
    out.Put(exception + 164, context);
    entry(kExceptionStream, kExceptionStreamSize, exception);

    const uint32_t system = out.Reserve(kSystemInfoSize);
    out.Put(system, kAmd64Architecture);
    out.Put(system + 6, facts.processors);
    out.Put(system + 20, static_cast<uint32_t>(kLinuxPlatformId));
    out.Put(system + 24, out.String(facts.system, std::strlen(facts.system)));
    entry(kSystemInfoStream, kSystemInfoSize, system);

    return out.Size();
}
