// Off Windows a plug-in can change, for the whole process: the action of any signal (the crash
// handlers among them), this thread's signal mask and alternate stack, the umask, the working
// folder, the locale (global, or this thread's with uselocale), and the floating-point
// environment. Each is read back and written only where it changed.
#include "probe/ProcessGuard.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "probe/FloatEnvironment.h"

namespace {

struct CKeptAction {
    int signal;
    struct sigaction action;
};

// The signals whose action the server set itself: the crash handlers, an ignored SIGPIPE.
std::vector<CKeptAction> KeptActions;
sigset_t KeptMask;
stack_t KeptAlternateStack{};
mode_t KeptUmask = 022;
int KeptFolder = -1;
std::string KeptLocale = "C";

bool SameAction(const struct sigaction& a, const struct sigaction& b)
{
    return a.sa_sigaction == b.sa_sigaction && a.sa_flags == b.sa_flags;
}

bool SameMask(const sigset_t& a, const sigset_t& b)
{
    for (int signal = 1; signal < NSIG; ++signal)
        if (sigismember(&a, signal) != sigismember(&b, signal)) return false;
    return true;
}

}  // namespace

void KeepProcessState()
{
    KeptActions.clear();
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action {};
        if (signal == SIGKILL || signal == SIGSTOP || sigaction(signal, nullptr, &action) != 0) continue;
        if (action.sa_handler != SIG_DFL) KeptActions.push_back({signal, action});
    }
    pthread_sigmask(SIG_SETMASK, nullptr, &KeptMask);
    sigaltstack(nullptr, &KeptAlternateStack);
    KeptUmask = umask(022);
    umask(KeptUmask);
    KeptFolder = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    // The server's own text never depends on the locale; what a plug-in reads of it should
    // not depend on the plug-in before it.
    const char* locale = setlocale(LC_ALL, nullptr);
    KeptLocale = locale ? locale : "C";
    KeepFloatEnvironment();
}

void TakeProcessBack()
{
    RestoreFloatEnvironment();
    if (uselocale(nullptr) != LC_GLOBAL_LOCALE) uselocale(LC_GLOBAL_LOCALE);
    const char* locale = setlocale(LC_ALL, nullptr);
    if (locale == nullptr || KeptLocale != locale) setlocale(LC_ALL, KeptLocale.c_str());

    for (const CKeptAction& kept : KeptActions) {
        struct sigaction now {};
        if (sigaction(kept.signal, nullptr, &now) == 0 && !SameAction(now, kept.action))
            sigaction(kept.signal, &kept.action, nullptr);
    }
    sigset_t mask;
    if (pthread_sigmask(SIG_SETMASK, nullptr, &mask) == 0 && !SameMask(mask, KeptMask))
        pthread_sigmask(SIG_SETMASK, &KeptMask, nullptr);
    stack_t stack{};
    if (KeptAlternateStack.ss_sp != nullptr && sigaltstack(nullptr, &stack) == 0 &&
        (stack.ss_sp != KeptAlternateStack.ss_sp || stack.ss_size != KeptAlternateStack.ss_size ||
         (stack.ss_flags & SS_DISABLE)))
        sigaltstack(&KeptAlternateStack, nullptr);
    umask(KeptUmask);  // reading it is writing it
    if (KeptFolder >= 0) (void)!fchdir(KeptFolder);
}
