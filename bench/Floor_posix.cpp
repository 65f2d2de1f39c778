#include "bench/Floor.h"

#include <dlfcn.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "probe/vst2/Vst2Abi.h"

namespace {

intptr_t QuietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

intptr_t Ask(AEffect* effect, int32_t opcode, void* pointer = nullptr)
{
    return effect->dispatcher(effect, opcode, 0, 0, pointer, 0.0f);
}

}  // namespace

bool ProbeInProcess(const NativeText& path)
{
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return false;
    dlsym(module, "JBridgeBootstrap");
    auto entry = reinterpret_cast<VstEntryPoint>(dlsym(module, "VSTPluginMain"));
    AEffect* effect = entry ? entry(QuietHost) : nullptr;
    const bool probed = effect && effect->magic == kEffectMagic;
    if (probed) {
        char text[1024];
        for (int32_t opcode : {effGetEffectName, effGetVendorString, effGetProductString}) Ask(effect, opcode, text);
        Ask(effect, effGetPlugCategory);
        for (const char* capability : {"receiveVstMidiEvent", "receiveVstEvents", "sendVstMidiEvent", "sendVstEvents"})
            Ask(effect, effCanDo, const_cast<char*>(capability));
        Ask(effect, effGetVendorVersion);
        Ask(effect, effClose);
    }
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
    (void)!::pipe(p.ends);
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
