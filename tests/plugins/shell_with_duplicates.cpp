// A shell: one library holding sub-plug-ins 5 and 7. It lists 5, 7, 5 (a duplicate) and then 0,
// and creates a sub-plug-in when the host's current id names one (telling the host which id it
// was asked for).
#include <cstdio>
#include <cstring>

#include "tests/plugins/PluginKit.h"

namespace {

struct CListed {
    int32_t id;
    const char* name;
};
constexpr CListed kListing[] = {{5, "Shell Five"}, {7, "Shell Seven"}, {5, "Shell Five Again"}, {0, ""}};
int NextListed = 0;

bool ListSubPlugins(AEffect*, int32_t opcode, void* pointer, intptr_t* answer)
{
    if (opcode != effShellGetNextPlugin) return false;
    const CListed& entry = kListing[NextListed];
    if (entry.id != 0) ++NextListed;
    std::strcpy(static_cast<char*>(pointer), entry.name);
    *answer = entry.id;
    return true;
}

const CPluginAnswers kShell{.name = "Shell With Duplicates", .product = "Zoo Shell", .uniqueId = 0x5A53686C,
                            .category = kPlugCategShell, .special = ListSubPlugins};
char SubName[64];
CPluginAnswers SubPlugin{.name = SubName, .product = "Zoo Shell", .category = kPlugCategEffect};

}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    ZooHost = host;
    const auto current = static_cast<int32_t>(host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f));
    if (current == 0) {
        NextListed = 0;
        return CreateZooEffect(kShell, host);
    }
    char told[32];
    std::snprintf(told, sizeof(told), "current id %X", static_cast<unsigned>(current));
    TellHost(told);
    if (current != 5 && current != 7) return nullptr;
    std::snprintf(SubName, sizeof(SubName), "Shell Sub %d", static_cast<int>(current));
    SubPlugin.uniqueId = current;
    return CreateZooEffect(SubPlugin, host);
}
