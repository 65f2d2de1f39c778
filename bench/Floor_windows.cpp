#include "bench/Floor.h"

#include <windows.h>

#include <thread>
#include <vector>

bool ProbeInProcess(const NativeText& path)
{
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return false;
    DWORD handle = 0;
    if (const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle)) {
        std::vector<unsigned char> block(size);
        void* root = nullptr;
        UINT length = 0;
        if (GetFileVersionInfoW(path.c_str(), handle, size, block.data())) VerQueryValueW(block.data(), L"\\", &root, &length);
    }
    GetProcAddress(module, "JBridgeBootstrap");
    auto entry = reinterpret_cast<VstEntryPoint>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    const bool probed = ProbeEntry(entry, [&] { FindResourceW(module, MAKEINTRESOURCEW(165), L"SE1"); });
    FreeLibrary(module);
    return probed;
}

struct CPipeFloor::CPipe {
    HANDLE read = nullptr, write = nullptr;
    HANDLE received = nullptr;  // set when the reader has taken the bytes it waits for
    std::thread reader;
    volatile LONG64 expected = 0;
};

CPipeFloor::CPipeFloor() : pipe(std::make_unique<CPipe>())
{
    CPipe& p = *pipe;
    CreatePipe(&p.read, &p.write, nullptr, 0);
    p.received = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    p.reader = std::thread([&p] {
        char chunk[4096];
        DWORD count = 0;
        LONG64 got = 0;
        while (ReadFile(p.read, chunk, sizeof(chunk), &count, nullptr) && count > 0) {
            got += count;
            if (got >= p.expected) {
                got -= p.expected;
                SetEvent(p.received);
            }
        }
    });
}

CPipeFloor::~CPipeFloor()
{
    CloseHandle(pipe->write);
    pipe->reader.join();
    CloseHandle(pipe->read);
    CloseHandle(pipe->received);
}

void CPipeFloor::Send(const std::vector<std::string>& lines)
{
    LONG64 total = 0;
    for (const auto& line : lines) total += static_cast<LONG64>(line.size());
    pipe->expected = total;
    for (const auto& line : lines) {
        DWORD written = 0;
        WriteFile(pipe->write, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        FlushFileBuffers(pipe->write);
    }
    WaitForSingleObject(pipe->received, INFINITE);
}
