#pragma once
// The floor a check is measured against: the same stages, by the same code, run in the
// benchmark's own process, every line written and flushed to a pipe that a thread drains.
#include <windows.h>

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
    HANDLE read = nullptr, write = nullptr;
    std::thread reader;
};
