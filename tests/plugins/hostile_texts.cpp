// Calls itself, and prints, what a web page would run if it took it for markup, then ends its
// server from a thread it leaves behind, so that a report shows all of it.
#include <cstdio>

#include "tests/plugins/PluginKit.h"

namespace {
void ExitLater()
{
    PauseMs(300);
    EndProcess(3);
}
const CPluginAnswers kAnswers{.name = "<script>alert(1)</script>\"><img src=x onerror=alert(2)>",
                              .vendor = "</script><!--<script>alert(3)</script>",
                              .uniqueId = 0x5A484F53};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    fputs("<script>alert(4)</script>\n\"><img src=x onerror=alert(5)>\n</script><!--\n", stdout);
    fflush(stdout);
    KeepLoaded();
    RunOnNewThread(ExitLater, false);
    return CreateZooEffect(kAnswers, host);
}
