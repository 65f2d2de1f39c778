#include "server/RequestLoop.h"

#include <windows.h>

#include <cstring>

#include "probe/ScanDriver.h"
#include "protocol/LogLine.h"
#include "protocol/OutputChannel.h"
#include "protocol/RequestText.h"
#include "protocol/Utf8.h"

HANDLE InputHandle = nullptr;

namespace {

constexpr char kReady[] = "ready:\n";

// Reads and drops the rest of an over-long request, up to and including its line feed, so
// that its tail does not come back as a request of its own. False when the pipe closed.
bool DiscardRestOfRequest(char* buffer)
{
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(InputHandle, buffer, kRequestBufferSize, &count, nullptr) || count == 0) return false;
        if (std::memchr(buffer, '\n', count) != nullptr) return true;
    }
}

}  // namespace

void DispatchPendingMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

void RunRequestLoop()
{
    char buffer[kRequestBufferSize + 1];  // room for the terminator after a full read
    for (;;) {
        WriteOutput(kReady, sizeof(kReady) - 1);
        DWORD count = 0;
        if (!ReadFile(InputHandle, buffer, kRequestBufferSize, &count, nullptr) || count == 0) return;
        buffer[count] = '\0';

        if (IsOverlongRead(buffer, count)) {
            const bool pipeOpen = DiscardRestOfRequest(buffer);
            AnswerRejectedRequest(u"Request too long");
            if (!pipeOpen) return;
            continue;
        }

        const std::string text = CutRequestText(buffer, count);
        DispatchPendingMessages();
        ScanPlugin(Utf8ToUtf16(text));
    }
}

void RunMessageLoop()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
