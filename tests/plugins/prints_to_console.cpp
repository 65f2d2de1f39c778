// Prints to standard output and standard error while it is created, escape sequences included.
#include <cstdio>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    fputs("\x1b[2J\x1b[31mTRIAL VERSION\x1b[0m\n", stdout);
    fflush(stdout);
    fputs("licence check: {\"not\": \"json\"}\n", stderr);
    fflush(stderr);
    static const CPluginAnswers answers{.name = "Prints To Console", .uniqueId = 0x5A505443};
    return CreateZooEffect(answers, host);
}
