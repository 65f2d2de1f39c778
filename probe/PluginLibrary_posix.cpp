#include "probe/PluginLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "protocol/Utf8.h"

// Every symbol resolved at once, so that a missing one is a load failure now rather than a
// crash in the middle of a call; kept local, so that two plug-ins' symbols never mix.
PluginModule OpenPluginModule(const std::u16string& path, std::u16string& error)
{
    void* module = dlopen(ToUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        error = u"Failed to load library: " + Utf8ToUtf16(why ? why : "unknown error");
    }
    return module;
}

void* FindExport(PluginModule module, const char* name) { return dlsym(module, name); }

// A library's threads and timers are its own to stop: the X11 windows a plug-in maps are not
// the server's, and run no code of the server's thread after the library is gone.
void FreeLibraryAndSweep(PluginModule module) { dlclose(module); }

std::u16string ResourceVersionText(const std::u16string&) { return u""; }

bool HasSynthEditResource(PluginModule) { return false; }

bool IsFolder(const std::u16string& path)
{
    struct stat status {};
    return stat(ToUtf8(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool PathExists(const std::u16string& path)
{
    struct stat status {};
    return stat(ToUtf8(path).c_str(), &status) == 0;
}
