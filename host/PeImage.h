#pragma once
// Reading a Windows executable's header without loading it: which machine it is built for,
// and which DLLs it imports. Platform-free; reads only the parts it needs, so a file of any
// size costs the same.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr uint16_t kMachineX86 = 0x014C;
constexpr uint16_t kMachineX64 = 0x8664;
constexpr uint16_t kMachineArm = 0x01C4;
constexpr uint16_t kMachineArm64 = 0xAA64;

// The longest DLL name taken from an import table, its terminating zero excluded.
constexpr size_t kLongestImportName = 260;
constexpr size_t kMostImports = 1024;

// Up to `count` bytes of the file at `offset`; fewer, or none, past its end.
using CReadAt = std::function<std::string(uint64_t offset, size_t count)>;
// Reads from bytes in memory.
CReadAt ReadFromBytes(std::string_view bytes);

// The Machine field of the PE header: "MZ", e_lfanew at 0x3C, "PE\0\0", Machine. Nothing when
// the bytes are not a PE image.
std::optional<uint16_t> PeMachine(const CReadAt& read);
std::optional<uint16_t> PeMachine(std::string_view image);

// "x64", "32-bit x86", "ARM64", "ARM", else the number in hex.
std::string MachineName(uint16_t machine);

// The names of the DLLs the image imports, in the order of its import table; empty when it
// has none or its tables cannot be read. Each name ends inside its section, within the
// longest name; empty and overlong ones are left out.
std::vector<std::string> ImportedDllNames(const CReadAt& read);
std::vector<std::string> ImportedDllNames(std::string_view image);
