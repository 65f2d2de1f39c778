#include "probe/ProbeState.h"

namespace {
void Nothing() {}
}  // namespace

int32_t CurrentShellId = 0;
bool PluginWantsMidi = false;
double CheckSampleRate = 0;
int32_t CheckBlockSize = 0;
void* CachedLibrary = nullptr;
std::u16string CachedLibraryPath;
CProbeHooks ProbeHooks{Nothing, Nothing};
