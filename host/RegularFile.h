#pragma once
// Off Windows a name can be a FIFO, a socket or a device, whose open or read blocks for ever
// or reads without end. The host opens only regular files, and links to them.
#include <string>

// A descriptor open for reading, or -1: with errno, or with `kind` naming what the file is
// when it is not a regular file ("a FIFO").
int OpenRegularFile(const std::string& path, std::string* kind = nullptr);
// What a path that exists and is not a regular file or a folder is ("a FIFO"); empty else.
std::string SpecialFileKind(const std::string& path);
