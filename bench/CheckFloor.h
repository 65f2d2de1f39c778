#pragma once
// The floor a check is measured against: the same stages, by the same code, run in the
// benchmark's own process, every line written and flushed to a pipe that a thread drains.
#include <cstdint>
#include <string>
#include <thread>

class CCheckFloor {
public:
    CCheckFloor();
    ~CCheckFloor();
    // Checks the plug-in of `path` (with `id` for one class or CLAP plug-in); false when there
    // was none to check.
    bool Check(const std::string& path, const std::string& id);

private:
    intptr_t read = 0, write = 0;  // the pipe's ends: HANDLEs on Windows, descriptors elsewhere
    std::thread reader;
};
