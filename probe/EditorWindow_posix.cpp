#include "probe/EditorWindow.h"

#include <chrono>
#include <thread>

#include "probe/clap/ClapAbi.h"
#include "probe/vst3/Vst3Abi.h"

const char* const kVst3EditorPlatform = vst3::kPlatformTypeX11EmbedWindowID;
const char* const kClapEditorApi = clap::kWindowApiX11;

// Editors are not opened off Windows: the check's editor stage is skipped as it is without a
// display.
void* CreateEditorParent() { return nullptr; }

void RunEditorFor(double seconds, const std::function<void()>& idle)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}

void DestroyEditorParent(void*) {}
