// The folders where Linux plug-ins are installed: the user's own, the system's and the local
// administrator's, and those the search-path variables name (colon-separated).
#include "scanner/StandardFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "scanner/FolderList.h"

namespace {

std::string Home()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

void AddSearchPath(CFolderList& list, const char* variable, CFormatChoice formats)
{
    const char* value = std::getenv(variable);
    const std::string path = value ? value : "";
    for (size_t start = 0; start < path.size();) {
        const size_t end = std::min(path.find(':', start), path.size());
        list.Add(path.substr(start, end - start), variable, formats);
        start = end + 1;
    }
}

}  // namespace

bool IsAbsoluteFolder(const NativeText& folder) { return !folder.empty() && folder[0] == '/'; }

std::vector<CStandardFolder> StandardFolders(CFormatChoice chosen)
{
    CFolderList list(chosen);
    const std::string home = Home();
    auto inHome = [&](const char* name) { return home.empty() ? std::string() : home + "/" + name; };

    list.Add(inHome(".vst3"), "~/.vst3", kVst3Only);
    list.Add("/usr/lib/vst3", "/usr/lib/vst3", kVst3Only);
    list.Add("/usr/local/lib/vst3", "/usr/local/lib/vst3", kVst3Only);

    list.Add(inHome(".clap"), "~/.clap", kClapOnly);
    list.Add("/usr/lib/clap", "/usr/lib/clap", kClapOnly);
    AddSearchPath(list, "CLAP_PATH", kClapOnly);

    list.Add(inHome(".vst"), "~/.vst", kVst2Only);
    list.Add("/usr/lib/vst", "/usr/lib/vst", kVst2Only);
    list.Add("/usr/local/lib/vst", "/usr/local/lib/vst", kVst2Only);
    // Linux VST 2 plug-ins are also installed as "LXVST" (Debian's dragonfly-reverb-vst does).
    list.Add(inHome(".lxvst"), "~/.lxvst", kVst2Only);
    list.Add("/usr/lib/lxvst", "/usr/lib/lxvst", kVst2Only);
    list.Add("/usr/local/lib/lxvst", "/usr/local/lib/lxvst", kVst2Only);
    AddSearchPath(list, "LXVST_PATH", kVst2Only);
    AddSearchPath(list, "VST_PATH", kVst2Only);
    return list.folders;
}
