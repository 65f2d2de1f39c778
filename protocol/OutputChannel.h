#pragma once
#include <cstddef>
#include <cstdint>

// Where every output line goes: the host's pipe, else standard output. A HANDLE on Windows, a
// file descriptor elsewhere; 0 means standard output.
extern intptr_t OutputChannel;

// Bytes for the console the host keeps apart from the output: standard error, written at once.
void WriteStandardError(const char* bytes, size_t count);
