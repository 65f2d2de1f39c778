// A shell of 400 sub-plug-ins, as large bundles have; it creates the one the host names.
#include <cstdio>

#include "tests/plugins/PluginKit.h"

namespace {

constexpr int32_t kSubPlugins = 400;
int32_t NextListed = 1;

bool ListSubPlugins(AEffect*, int32_t opcode, void* pointer, intptr_t* answer)
{
    if (opcode != effShellGetNextPlugin) return false;
    if (NextListed > kSubPlugins) {
        *answer = 0;
        return true;
    }
    std::snprintf(static_cast<char*>(pointer), 64, "Many Sub %d", static_cast<int>(NextListed));
    *answer = NextListed++;
    return true;
}

const CPluginAnswers kShell{.name = "Shell With Many", .uniqueId = 0x5A534D79, .category = kPlugCategShell,
                            .special = ListSubPlugins};
char SubName[32];
CPluginAnswers SubPlugin{.name = SubName};

}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    const auto current = static_cast<int32_t>(host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f));
    if (current == 0) {
        NextListed = 1;
        return CreateZooEffect(kShell, host);
    }
    if (current < 1 || current > kSubPlugins) return nullptr;
    std::snprintf(SubName, sizeof(SubName), "Many Sub %d", static_cast<int>(current));
    SubPlugin.uniqueId = current;
    return CreateZooEffect(SubPlugin, host);
}
