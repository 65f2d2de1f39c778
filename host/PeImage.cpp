#include "host/PeImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

template <typename T>
bool ReadAt(std::string_view bytes, uint64_t offset, T& value)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return true;
}

struct CSection {
    uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kOptionalMagic32 = 0x10B;
constexpr uint16_t kOptionalMagic64 = 0x20B;

std::optional<uint32_t> PeHeaderOffset(std::string_view image)
{
    uint16_t mz = 0;
    uint32_t offset = 0, signature = 0;
    if (!ReadAt(image, 0, mz) || mz != 0x5A4D || !ReadAt(image, 0x3C, offset) || !ReadAt(image, offset, signature) ||
        signature != kPeSignature)
        return std::nullopt;
    return offset;
}

}  // namespace

std::optional<uint16_t> PeMachine(std::string_view image)
{
    const auto header = PeHeaderOffset(image);
    uint16_t machine = 0;
    if (!header || !ReadAt(image, *header + 4, machine)) return std::nullopt;
    return machine;
}

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

std::vector<std::string> ImportedDllNames(std::string_view image)
{
    std::vector<std::string> names;
    const auto header = PeHeaderOffset(image);
    uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!header || !ReadAt(image, *header + 6, sectionCount) || !ReadAt(image, *header + 20, optionalSize)) return names;
    const uint64_t optional = *header + 24;
    if (!ReadAt(image, optional, magic) || (magic != kOptionalMagic32 && magic != kOptionalMagic64)) return names;
    // The import table is the second data directory.
    const uint64_t directories = optional + (magic == kOptionalMagic64 ? 112 : 96);
    uint32_t importRva = 0;
    if (!ReadAt(image, directories + 8, importRva) || importRva == 0) return names;

    std::vector<CSection> sections;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const uint64_t at = optional + optionalSize + 40ull * i;
        CSection section{};
        if (!ReadAt(image, at + 8, section.virtualSize) || !ReadAt(image, at + 12, section.virtualAddress) ||
            !ReadAt(image, at + 16, section.rawSize) || !ReadAt(image, at + 20, section.rawOffset))
            return names;
        sections.push_back(section);
    }
    auto fileOffset = [&](uint32_t rva) -> std::optional<uint64_t> {
        for (const auto& s : sections)
            if (rva >= s.virtualAddress && rva - s.virtualAddress < std::max(s.virtualSize, s.rawSize))
                return uint64_t{s.rawOffset} + (rva - s.virtualAddress);
        return std::nullopt;
    };
    const auto table = fileOffset(importRva);
    for (uint64_t descriptor = table.value_or(image.size()); names.size() < 1024; descriptor += 20) {
        uint32_t nameRva = 0;
        if (!ReadAt(image, descriptor + 12, nameRva) || nameRva == 0) break;
        const auto name = fileOffset(nameRva);
        if (!name || *name >= image.size()) break;
        const size_t end = image.find('\0', *name);
        names.emplace_back(image.substr(*name, end == std::string_view::npos ? std::string_view::npos : end - *name));
    }
    return names;
}
