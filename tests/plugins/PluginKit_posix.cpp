#include "tests/plugins/PluginKit.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

void* ServerHandleArgument(int position)
{
    // The command line is in /proc: NUL-separated arguments.
    std::vector<char> text(1 << 16);
    FILE* file = std::fopen("/proc/self/cmdline", "rb");
    const size_t length = file ? std::fread(text.data(), 1, text.size() - 1, file) : 0;
    if (file) std::fclose(file);
    text[length] = '\0';
    size_t at = 0;
    for (int i = 0; i < position && at < length; ++i) at += std::strlen(text.data() + at) + 1;
    const unsigned long long value = at < length ? std::strtoull(text.data() + at, nullptr, 16) : 0;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(value));
}

void WriteToServerOutput(const char* text)
{
    const int output = static_cast<int>(reinterpret_cast<uintptr_t>(ServerHandleArgument(2)));
    (void)!write(output, text, std::strlen(text));
}

void KeepLoaded()
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&KeepLoaded), &self) && self.dli_fname)
        dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

void HangForEver()
{
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

void PauseMs(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void RunOnNewThread(void (*work)(), bool wait)
{
    std::thread thread(work);
    if (wait) thread.join();
    else thread.detach();
}

void EndProcess(int code) { _exit(code); }
