// The loader's own list (dl_iterate_phdr): no system call. The distribution's libraries stay
// loaded for reasons of their own (NODELETE, unique symbols, a toolkit's atexit), and a later
// plug-in that needs them wants those very ones. The plug-in's own library may stay too (it
// pinned itself, or has unique symbols): its code that runs on is blamed as it runs.
#include "probe/LoadedModules.h"

#include <link.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "probe/PluginLibrary.h"
#include "protocol/Format.h"
#include "protocol/Utf8.h"

namespace {

constexpr size_t kMostNamed = 3;

// By load address and name: a library loaded anew at the same address is another one. A few
// dozen entries, read twice a request: no text is copied but for a library left behind.
struct CLoaded {
    uintptr_t base;
    const char* name;
    bool operator<(const CLoaded& other) const { return base < other.base || (base == other.base && name < other.name); }
};

std::vector<CLoaded> LoadedBefore;
std::string OpenedLibrary;

std::vector<CLoaded> LoadedObjects()
{
    std::vector<CLoaded> loaded;
    loaded.reserve(64);
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* context) {
            if (info->dlpi_name && info->dlpi_name[0])
                static_cast<std::vector<CLoaded>*>(context)->push_back({static_cast<uintptr_t>(info->dlpi_addr), info->dlpi_name});
            return 0;
        },
        &loaded);
    std::sort(loaded.begin(), loaded.end());
    return loaded;
}

bool IsSystemLibrary(const std::string& path)
{
    for (const char* folder : {"/lib/", "/lib64/", "/usr/lib/x86_64-linux-gnu/", "/usr/lib64/"})
        if (path.rfind(folder, 0) == 0) return true;
    return false;
}

}  // namespace

void NoteLoadedModules(const std::u16string& pluginPath)
{
    LoadedBefore = LoadedObjects();
    OpenedLibrary = SystemPath(pluginPath);
}

std::u16string ModulesLeftLoaded()
{
    std::u16string named;
    size_t count = 0;
    for (const CLoaded& loaded : LoadedObjects()) {
        if (std::binary_search(LoadedBefore.begin(), LoadedBefore.end(), loaded)) continue;
        const std::string path = loaded.name;
        if (path == OpenedLibrary || IsSystemLibrary(path)) continue;
        if (count++ < kMostNamed) named += (named.empty() ? u"" : u", ") + Utf8ToUtf16(EscapeNameBytes(path));
    }
    if (count > kMostNamed) named += FormatString(u", %u in all", static_cast<unsigned>(count));
    return named.empty() ? named : u"the library " + named + u" still loaded";
}
