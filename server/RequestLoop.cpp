#include "server/RequestLoop.h"

#include <cstring>

#include "probe/ProbeState.h"
#include "probe/ProcessGuard.h"
#include "probe/ScanDriver.h"
#include "protocol/LogLine.h"
#include "protocol/RequestText.h"
#include "protocol/Utf8.h"

namespace {

constexpr char kReady[] = "ready:\n";

// Reads and drops the rest of an over-long request, up to and including its line feed, so
// that its tail does not come back as a request of its own. False when the pipe closed.
bool DiscardRestOfRequest(char* buffer)
{
    for (;;) {
        size_t count = 0;
        if (!ReadRequestBytes(buffer, kRequestBufferSize, count) || count == 0) return false;
        if (std::memchr(buffer, '\n', count) != nullptr) return true;
    }
}

}  // namespace

void RunRequestLoop()
{
    char buffer[kRequestBufferSize + 1];  // room for the terminator after a full read
    for (;;) {
        WriteOutput(kReady, sizeof(kReady) - 1);
        size_t count = 0;
        if (!ReadRequestBytes(buffer, kRequestBufferSize, count) || count == 0) return;
        buffer[count] = '\0';

        if (IsOverlongRead(buffer, count)) {
            const bool pipeOpen = DiscardRestOfRequest(buffer);
            AnswerRejectedRequest(u"Request too long");
            if (!pipeOpen) return;
            continue;
        }

        const std::string text = CutRequestText(buffer, count);
        ProbeHooks.dispatchPendingMessages();
        ScanPlugin(Utf8ToUtf16(text));
        TakeProcessBack(true);
    }
}
