#pragma once
// Why a plug-in library would not load, in words: the system's error code says little, the
// file's header and import table say more.
#include <string>

#include "host/NativeText.h"
#include "host/ScanOutcome.h"

// A failed load's error made clearer for people: on Windows "Failed to load library, err=126"
// gets the meaning of the code for that file ("...: 126: the DLL it needs, foo.dll, is missing"),
// and a file another program holds is a failure of the host's, to scan again. Linux's loader
// already says it in words.
void ExplainLoadFailure(const std::string& library, CScanOutcome& outcome);

// The meaning of a LoadLibrary error that a server of `serverPlatform` ("x64", "x86") met for
// the library at `path`: for 193 what the file is, for 126 the DLL that is missing, for 1114,
// 998 and 32 what happened. Empty for other errors.
std::string ExplainLoadError(unsigned long error, const NativeText& path, const std::string& serverPlatform);

// The whole file, or nothing when it cannot be read (up to `limit` bytes).
bool ReadFileBytes(const NativeText& path, std::string& bytes, size_t limit = 64u << 20);
// Its first `count` bytes, or fewer when it is shorter.
bool ReadFileHead(const NativeText& path, std::string& bytes, size_t count);
