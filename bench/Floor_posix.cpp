#include "bench/Floor.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

bool ProbeInProcess(const NativeText& path)
{
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return false;
    dlsym(module, "JBridgeBootstrap");
    const bool probed = ProbeEntry(reinterpret_cast<VstEntryPoint>(dlsym(module, "VSTPluginMain")), [] {});
    dlclose(module);
    return probed;
}

struct CPipeFloor::CPipe {
    int ends[2] = {-1, -1};
    std::thread reader;
    std::mutex lock;
    std::condition_variable received;
    int64_t expected = 0, got = 0;
};

CPipeFloor::CPipeFloor() : pipe(std::make_unique<CPipe>())
{
    CPipe& p = *pipe;
    (void)!pipe2(p.ends, O_CLOEXEC);  // not inherited by the servers the benchmark starts
    p.reader = std::thread([&p] {
        char chunk[4096];
        for (ssize_t count; (count = read(p.ends[0], chunk, sizeof(chunk))) > 0;) {
            std::lock_guard<std::mutex> guard(p.lock);
            p.got += count;
            p.received.notify_all();
        }
    });
}

CPipeFloor::~CPipeFloor()
{
    close(pipe->ends[1]);
    pipe->reader.join();
    close(pipe->ends[0]);
}

void CPipeFloor::Send(const std::vector<std::string>& lines)
{
    int64_t total = 0;
    for (const auto& line : lines) {
        (void)!write(pipe->ends[1], line.data(), line.size());
        total += static_cast<int64_t>(line.size());
    }
    std::unique_lock<std::mutex> guard(pipe->lock);
    pipe->received.wait(guard, [&] { return pipe->got >= total; });
    pipe->got -= total;
}
