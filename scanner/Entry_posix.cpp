// The scanner's process entry off Windows. It adopts what the plug-ins' processes leave (a
// daemon that left its group) as a subreaper, and ends it with its servers when it ends, or when
// it is told to stop: SIGINT, SIGTERM and SIGHUP are taken by a thread of their own, which ends
// every server and child, then lets the signal end the scanner as it always did (the journal
// keeps what was scanned).
#include <pthread.h>
#include <sys/prctl.h>

#include <csignal>
#include <thread>

#include "host/ChildProcess.h"
#include "scanner/Entry.h"

namespace {

void StopOnSignals()
{
    sigset_t stopping;
    sigemptyset(&stopping);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopping, signal);
    // Blocked before any thread starts: every thread inherits it, and the one below takes them.
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    std::thread([stopping] {
        int signal = 0;
        while (sigwait(&stopping, &signal) != 0) {}
        StopRequested = true;
        EndEveryChild();
        std::signal(signal, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &stopping, nullptr);
        raise(signal);
    }).detach();
}

}  // namespace

int main(int argc, char** argv)
{
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    StopOnSignals();
    const int code = RunScanner(std::vector<std::string>(argv, argv + argc));
    EndEveryChild();
    return code;
}
