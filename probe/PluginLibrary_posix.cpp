#include "probe/PluginLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "protocol/Format.h"
#include "protocol/LeftBehind.h"
#include "protocol/LogLine.h"
#include "protocol/Utf8.h"

namespace {

constexpr size_t kMostNamed = 3;

// The shared objects loaded before the plug-in's library was: what is loaded after it was
// freed and is not among them, nor the system's, the plug-in left. Its own library may stay
// (it pinned itself, or has unique symbols); its code that runs on is blamed as it runs.
std::set<std::string> LoadedBefore;
std::string OpenedLibrary;

std::set<std::string> LoadedObjects()
{
    std::set<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* context) {
            if (info->dlpi_name && info->dlpi_name[0]) static_cast<std::set<std::string>*>(context)->insert(info->dlpi_name);
            return 0;
        },
        &names);
    return names;
}

// The distribution's libraries stay loaded for good reasons of their own (NODELETE, unique
// symbols, a toolkit's atexit), and a later plug-in that needs them wants those very ones.
bool IsSystemLibrary(const std::string& path)
{
    for (const char* folder : {"/lib/", "/lib64/", "/usr/lib/x86_64-linux-gnu/", "/usr/lib64/"})
        if (path.rfind(folder, 0) == 0) return true;
    return false;
}

// A loaded library answers for its soname and its path: the next plug-in that asks for a
// library of that name gets this one, whatever its own folder holds.
std::u16string ModulesLeftLoaded()
{
    std::u16string named;
    size_t count = 0;
    for (const std::string& path : LoadedObjects()) {
        if (LoadedBefore.count(path) || path == OpenedLibrary || IsSystemLibrary(path)) continue;
        if (count++ < kMostNamed) named += (named.empty() ? u"" : u", ") + Utf8ToUtf16(path);
    }
    if (count > kMostNamed) named += FormatString(u", %u in all", static_cast<unsigned>(count));
    return named.empty() ? named : u"the library " + named + u" still loaded";
}

// Descriptors a plug-in opened and never closed stay the process's: when none is left, the
// next plug-in cannot even be loaded.
bool DescriptorsUsedUp()
{
    const int spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (spare >= 0) {
        close(spare);
        return false;
    }
    return errno == EMFILE || errno == ENFILE;
}

}  // namespace

// Every symbol resolved at once, so that a missing one is a load failure now rather than a
// crash in the middle of a call; kept local, so that two plug-ins' symbols never mix.
PluginModule OpenPluginModule(const std::u16string& path, std::u16string& error)
{
    LoadedBefore = LoadedObjects();
    OpenedLibrary = SystemPath(path);
    void* module = dlopen(OpenedLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        error = u"Failed to load library: " + Utf8ToUtf16(why ? why : "unknown error");
    }
    return module;
}

void* FindExport(PluginModule module, const char* name) { return dlsym(module, name); }

// A library's threads and timers are its own to stop: the X11 windows a plug-in maps are not
// the server's, and run no code of the server's thread after the library is gone. What it
// leaves that the next plug-in would meet is named, and the host retires the server.
void FreeLibraryAndSweep(PluginModule module)
{
    dlclose(module);
    std::u16string left = ModulesLeftLoaded();
    if (DescriptorsUsedUp()) left += (left.empty() ? u"" : u"; ") + std::u16string(u"no file descriptor left");
    if (!left.empty()) LogWarn(u"%S%s\n", kLeftBehindPrefix, left.c_str());
}

std::string SystemPath(const std::u16string& path) { return UnescapeNameBytes(ToUtf8(path)); }

std::u16string ResourceVersionText(const std::u16string&) { return u""; }

bool HasSynthEditResource(PluginModule) { return false; }

bool IsFolder(const std::u16string& path)
{
    struct stat status {};
    return stat(SystemPath(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool PathExists(const std::u16string& path)
{
    struct stat status {};
    return stat(SystemPath(path).c_str(), &status) == 0;
}
