#pragma once
// Reading a Windows executable's header without loading it: which machine it is built for,
// and which DLLs it imports. Platform-free; works on the file's bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr uint16_t kMachineX86 = 0x014C;
constexpr uint16_t kMachineX64 = 0x8664;
constexpr uint16_t kMachineArm = 0x01C4;
constexpr uint16_t kMachineArm64 = 0xAA64;

// The Machine field of the PE header: "MZ", e_lfanew at 0x3C, "PE\0\0", Machine. Nothing when
// the bytes are not a PE image.
std::optional<uint16_t> PeMachine(std::string_view image);

// "x64", "32-bit x86", "ARM64", "ARM", else the number in hex.
std::string MachineName(uint16_t machine);

// The names of the DLLs the image imports, in the order of its import table; empty when it
// has none or its tables cannot be read.
std::vector<std::string> ImportedDllNames(std::string_view image);
