// Starts a daemon as a plug-in's helper service does: fork, setsid, fork again, so that it
// leaves the server's process group and outlives the server. The daemon writes its process id
// to the file TESSARINE_ZOO_DAEMON_FILE names, then waits for ever.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Starts Daemon", .uniqueId = 0x5A534444};

void BecomeDaemon(const char* file, int ready)
{
    setsid();
    if (fork() != 0) _exit(0);
    char text[32];
    std::snprintf(text, sizeof(text), "%d\n", static_cast<int>(getpid()));
    const int out = open(file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) (void)!write(out, text, std::strlen(text)), close(out);
    (void)!write(ready, "!", 1);
    for (int descriptor = 3; descriptor < 1024; ++descriptor) close(descriptor);
    for (;;) pause();
}
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    const char* file = std::getenv("TESSARINE_ZOO_DAEMON_FILE");
    int ready[2];
    if (file != nullptr && pipe(ready) == 0) {
        const pid_t child = fork();
        if (child == 0) BecomeDaemon(file, ready[1]);
        close(ready[1]);
        char byte;
        (void)!read(ready[0], &byte, 1);  // the daemon has written its id
        close(ready[0]);
        waitpid(child, nullptr, 0);
    }
    return CreateZooEffect(kAnswers, host);
}
