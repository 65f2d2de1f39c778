#pragma once
// The texts of a plug-in's version: from the number its dispatcher reports, and from the
// library file's version resource.
#include <cstdint>
#include <string>

#include "probe/vst2/Vst2Abi.h"

// Plug-ins encode their version in several ways; the ranges tell them apart. 0 gives "".
std::u16string FormatVendorVersion(int32_t version);

// The product version if either of its words is set, else the file version if either is set,
// else "" (no text). Each pair prints as four 16-bit numbers.
std::u16string FormatResourceVersion(uint32_t productMS, uint32_t productLS, uint32_t fileMS, uint32_t fileLS);

// Asks the plug-in for one text through its dispatcher and widens it byte for byte.
std::u16string VstTextQuery(AEffect* effect, int32_t opcode);

// The text in a buffer a plug-in filled: up to the first zero byte, never past `size` bytes.
std::u16string TextFromPluginBuffer(const char* buffer, size_t size);
