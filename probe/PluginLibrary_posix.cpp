#include "probe/PluginLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "probe/LoadedModules.h"
#include "protocol/Format.h"
#include "protocol/LeftBehind.h"
#include "protocol/LogLine.h"
#include "protocol/Utf8.h"

namespace {

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
    NoteLoadedModules(path);
    void* module = dlopen(SystemPath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
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
