#pragma once
// Why a plug-in library would not load, in words: the system's error code says little, the
// file's header and import table say more.
#include <string>

// The meaning of a LoadLibrary error that a server of `serverPlatform` ("x64", "x86") met for
// the library at `path`: for 193 what the file is, for 126 the DLL that is missing, for 1114,
// 998 and 32 what happened. Empty for other errors.
std::string ExplainLoadError(unsigned long error, const std::wstring& path, const std::string& serverPlatform);

// The whole file, or nothing when it cannot be read (up to `limit` bytes).
bool ReadFileBytes(const std::wstring& path, std::string& bytes, size_t limit = 64u << 20);
// Its first `count` bytes, or fewer when it is shorter.
bool ReadFileHead(const std::wstring& path, std::string& bytes, size_t count);
