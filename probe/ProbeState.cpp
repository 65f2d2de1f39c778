#include "probe/ProbeState.h"

namespace {
void Nothing() {}
}  // namespace

int32_t CurrentShellId = 0;
bool PluginWantsMidi = false;
void* CachedLibrary = nullptr;
std::u16string CachedLibraryPath;
CProbeHooks ProbeHooks{Nothing, Nothing, Nothing};
