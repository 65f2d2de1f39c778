#include "tests/unit/CapturedOutput.h"

#include "protocol/LogLine.h"

namespace {
std::string Captured;
}

void WriteOutput(const char* bytes, size_t count) { Captured.append(bytes, count); }

std::string TakeCapturedOutput()
{
    std::string taken;
    taken.swap(Captured);
    return taken;
}
