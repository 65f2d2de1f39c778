#pragma once
// Files the scanner writes for people to keep (the database, the report page) are only ever
// replaced whole: written to a new file beside the old one, flushed, then moved over it with
// write-through, so that a crash or a full disk never leaves half of one.
#include <string>

#include "host/NativeText.h"

// False, with the system's error, when it could not be written; the old file then stays.
bool ReplaceFileWhole(const NativeText& path, const std::string& content, unsigned long& error);
