#include "host/PeImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

template <typename T>
bool ReadAt(const CReadAt& read, uint64_t offset, T& value)
{
    const std::string bytes = read(offset, sizeof(T));
    if (bytes.size() < sizeof(T)) return false;
    std::memcpy(&value, bytes.data(), sizeof(T));
    return true;
}

struct CSection {
    uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kOptionalMagic32 = 0x10B;
constexpr uint16_t kOptionalMagic64 = 0x20B;
constexpr uint32_t kImportDescriptorSize = 20;

std::optional<uint32_t> PeHeaderOffset(const CReadAt& read)
{
    uint16_t mz = 0;
    uint32_t offset = 0, signature = 0;
    if (!ReadAt(read, 0, mz) || mz != 0x5A4D || !ReadAt(read, 0x3C, offset) || !ReadAt(read, offset, signature) ||
        signature != kPeSignature)
        return std::nullopt;
    return offset;
}

}  // namespace

CReadAt ReadFromBytes(std::string_view bytes)
{
    return [bytes](uint64_t offset, size_t count) {
        if (offset >= bytes.size()) return std::string();
        return std::string(bytes.substr(static_cast<size_t>(offset), count));
    };
}

std::optional<uint16_t> PeMachine(const CReadAt& read)
{
    const auto header = PeHeaderOffset(read);
    uint16_t machine = 0;
    if (!header || !ReadAt(read, uint64_t{*header} + 4, machine)) return std::nullopt;
    return machine;
}

std::optional<uint16_t> PeMachine(std::string_view image) { return PeMachine(ReadFromBytes(image)); }

std::string MachineName(uint16_t machine)
{
    switch (machine) {
    case kMachineX64: return "x64";
    case kMachineX86: return "32-bit x86";
    case kMachineArm64: return "ARM64";
    case kMachineArm: return "ARM";
    }
    char text[16];
    snprintf(text, sizeof(text), "machine %04X", static_cast<unsigned>(machine));
    return text;
}

std::vector<std::string> ImportedDllNames(const CReadAt& read)
{
    std::vector<std::string> names;
    const auto header = PeHeaderOffset(read);
    uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!header || !ReadAt(read, uint64_t{*header} + 6, sectionCount) || !ReadAt(read, uint64_t{*header} + 20, optionalSize))
        return names;
    const uint64_t optional = uint64_t{*header} + 24;
    if (!ReadAt(read, optional, magic) || (magic != kOptionalMagic32 && magic != kOptionalMagic64)) return names;
    // The import table is the second data directory.
    const uint64_t directories = optional + (magic == kOptionalMagic64 ? 112 : 96);
    uint32_t importRva = 0;
    if (!ReadAt(read, directories + 8, importRva) || importRva == 0) return names;

    const std::string table = read(optional + optionalSize, 40ull * sectionCount);
    std::vector<CSection> sections;
    for (size_t at = 0; at + 40 <= table.size(); at += 40) {
        CSection section{};
        std::memcpy(&section.virtualSize, table.data() + at + 8, 4);
        std::memcpy(&section.virtualAddress, table.data() + at + 12, 4);
        std::memcpy(&section.rawSize, table.data() + at + 16, 4);
        std::memcpy(&section.rawOffset, table.data() + at + 20, 4);
        sections.push_back(section);
    }
    // Where an address lies in the file, and how many of the section's bytes follow it there.
    auto fileOffset = [&](uint32_t rva, uint64_t& room) -> std::optional<uint64_t> {
        for (const auto& s : sections)
            if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) {
                room = s.rawSize - (rva - s.virtualAddress);
                return uint64_t{s.rawOffset} + (rva - s.virtualAddress);
            }
        return std::nullopt;
    };
    uint64_t room = 0;
    const auto start = fileOffset(importRva, room);
    if (!start) return names;
    for (uint64_t index = 0; index < kMostImports && (index + 1) * kImportDescriptorSize <= room; ++index) {
        uint32_t nameRva = 0;
        if (!ReadAt(read, *start + index * kImportDescriptorSize + 12, nameRva) || nameRva == 0) break;
        uint64_t nameRoom = 0;
        const auto name = fileOffset(nameRva, nameRoom);
        if (!name) continue;
        const std::string bytes = read(*name, static_cast<size_t>(std::min<uint64_t>(nameRoom, kLongestImportName + 1)));
        const size_t end = bytes.find('\0');
        if (end == std::string::npos || end == 0) continue;
        names.push_back(bytes.substr(0, end));
    }
    return names;
}

std::vector<std::string> ImportedDllNames(std::string_view image) { return ImportedDllNames(ReadFromBytes(image)); }
