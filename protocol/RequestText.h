#pragma once
// Turning the bytes of one read from the request pipe into the request's text.
#include <cstddef>
#include <string>

constexpr size_t kRequestBufferSize = 1024;

// A read that filled the whole buffer without a line feed holds a request longer than the
// 1023 bytes a request may have: its tail is still in the pipe.
bool IsOverlongRead(const char* bytes, size_t count);

// The text before the first line feed or zero byte. A carriage return stays part of it.
std::string CutRequestText(const char* bytes, size_t count);

// A character the path of a file to scan cannot hold, described ("'>'", "a control character
// (0x1B)"); empty for none. '>' is kept for a shell's sub-plug-ins in requests; the file name
// may not hold what Windows file names cannot (a Linux name under Wine can).
// Off Windows only '>' and control characters are refused.
std::string ForbiddenPathCharacter(const std::string& path, bool windowsNames = true);
