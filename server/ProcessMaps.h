#pragma once
// The loaded files of a process, from the text of its /proc/PID/maps: each file's lowest and
// highest address, for the module list of a crash dump. Parsed in place, into a fixed table,
// with no allocation: it runs while a crashed thread may hold the heap's lock.
#include <cstddef>
#include <cstdint>

struct CMappedFile {
    uint64_t begin = 0, end = 0;
    const char* path = nullptr;  // into the parsed text, not terminated
    size_t pathLength = 0;
    bool executable = false;     // some part of it is mapped to run
};

// Fills `files` (at most `capacity`) in the order the text lists them; a file mapped in
// several consecutive runs is one entry. Anonymous and special mappings ("[stack]") are left
// out. Returns how many were found.
size_t ParseMappedFiles(const char* text, size_t length, CMappedFile* files, size_t capacity);

// The mapping, of any kind, that holds `address`: its end, or 0 when none does.
uint64_t MappingEndAt(const char* text, size_t length, uint64_t address);
