#pragma once
// The floor a scan server's answer is measured against: the same plug-in probed in the
// benchmark's own process, and the same lines written and flushed to a reader over a pipe.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/NativeText.h"
#include "probe/vst2/Vst2Abi.h"

// Loads the library, calls its entry point, asks what the server asks, closes and frees it.
// False when it is no plug-in.
bool ProbeInProcess(const NativeText& path);
// What the server asks an effect, from its entry point to effClose, with what the platform's
// loader also looks at first; false when the entry gives no effect.
bool ProbeEntry(VstEntryPoint entry, const std::function<void()>& beforeQuestions);

// A pipe with a reader thread of its own; each line is written and flushed as the server does.
class CPipeFloor {
public:
    CPipeFloor();
    ~CPipeFloor();
    // Writes the lines, each in one write and a flush, and waits until the reader has them.
    void Send(const std::vector<std::string>& lines);

private:
    struct CPipe;
    std::unique_ptr<CPipe> pipe;
};
